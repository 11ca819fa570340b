#include "tests/desktop_support/fake_screen_saver.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace {
constexpr const char* kName = "org.freedesktop.ScreenSaver";
constexpr const char* kInterface = R"(<node><interface name="org.freedesktop.ScreenSaver">
  <method name="Inhibit"><arg type="s" direction="in"/><arg type="s" direction="in"/><arg type="u" direction="out"/></method>
  <method name="UnInhibit"><arg type="u" direction="in"/></method>
</interface></node>)";
}  // namespace

FakeScreenSaver::FakeScreenSaver(const std::string& address) {
  thread_ = std::thread([this, address] { Serve(address); });
  std::unique_lock<std::mutex> lock(m_);
  cv_.wait(lock, [&] { return started_; });
}

FakeScreenSaver::~FakeScreenSaver() {
  auto quit = [](gpointer loop) -> gboolean {
    g_main_loop_quit(static_cast<GMainLoop*>(loop));
    return FALSE;
  };
  g_main_context_invoke(context_, quit, loop_);
  thread_.join();
}

std::vector<ScreenSaverCall> FakeScreenSaver::CallsOnceThereAre(size_t n) {
  std::unique_lock<std::mutex> lock(m_);
  cv_.wait_for(lock, std::chrono::minutes(1), [&] { return calls_.size() >= n; });
  return calls_;
}

bool FakeScreenSaver::AnswerHeldInhibit(guint32 cookie) {
  GDBusMethodInvocation* held;
  {
    std::lock_guard<std::mutex> lock(m_);
    held = std::exchange(held_, nullptr);
  }
  if (!held) return false;
  g_dbus_method_invocation_return_value(held, g_variant_new("(u)", cookie));
  return true;
}

bool FakeScreenSaver::OnTheBus(const std::string& name) {
  GVariant* r = g_dbus_connection_call_sync(
      connection_, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "NameHasOwner",
      g_variant_new("(s)", name.c_str()), G_VARIANT_TYPE("(b)"), G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr);
  gboolean has = FALSE;
  if (r) {
    g_variant_get(r, "(b)", &has);
    g_variant_unref(r);
  }
  return has;
}

void FakeScreenSaver::OnCall(GDBusConnection*, const gchar* sender, const gchar*, const gchar*, const gchar* method,
                             GVariant* params, GDBusMethodInvocation* invocation, gpointer self) {
  static_cast<FakeScreenSaver*>(self)->Record(sender, method, params, invocation);
}

void FakeScreenSaver::Record(const gchar* sender, const gchar* method, GVariant* params,
                             GDBusMethodInvocation* invocation) {
  ScreenSaverCall c{method, sender, "", "", 0};
  const bool inhibit = c.method == "Inhibit";
  if (inhibit) {
    const gchar *app = nullptr, *why = nullptr;
    g_variant_get(params, "(&s&s)", &app, &why);
    c.application = app;
    c.reason = why;
  } else {
    g_variant_get(params, "(u)", &c.cookie);
    g_dbus_method_invocation_return_value(invocation, nullptr);
  }
  {
    std::lock_guard<std::mutex> lock(m_);
    calls_.push_back(c);
    if (inhibit) held_ = invocation;
  }
  cv_.notify_all();
}

void FakeScreenSaver::Serve(const std::string& address) {
  context_ = g_main_context_new();
  g_main_context_push_thread_default(context_);
  loop_ = g_main_loop_new(context_, FALSE);
  connection_ = g_dbus_connection_new_for_address_sync(
      address.c_str(),
      static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                        G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
      nullptr, nullptr, nullptr);
  if (connection_) {
    GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kInterface, nullptr);
    static const GDBusInterfaceVTable vtable = {&FakeScreenSaver::OnCall, nullptr, nullptr, {}};
    g_dbus_connection_register_object(connection_, "/org/freedesktop/ScreenSaver", node->interfaces[0], &vtable,
                                      this, nullptr, nullptr);
    g_dbus_node_info_unref(node);
    GVariant* r = g_dbus_connection_call_sync(connection_, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                              "org.freedesktop.DBus", "RequestName", g_variant_new("(su)", kName, 4u),
                                              nullptr, G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr);
    if (r) g_variant_unref(r);
  }
  {
    std::lock_guard<std::mutex> lock(m_);
    started_ = true;
  }
  cv_.notify_all();
  g_main_loop_run(loop_);
  if (connection_) g_object_unref(connection_);
  g_main_loop_unref(loop_);
  g_main_context_pop_thread_default(context_);
  g_main_context_unref(context_);
}

PrivateBus::PrivateBus() {
  FILE* p = popen("dbus-daemon --session --fork --print-address=1 --print-pid=1 2>/dev/null", "r");
  if (!p) return;
  char line[512] = {};
  if (fgets(line, sizeof line, p)) address = std::string(line, strcspn(line, "\n"));
  if (fgets(line, sizeof line, p)) pid = std::strtol(line, nullptr, 10);
  pclose(p);
}

PrivateBus::~PrivateBus() {
  if (pid > 0) kill(static_cast<pid_t>(pid), SIGTERM);
}
