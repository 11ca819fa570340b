// Keeping the screen saver away, against a screen saver service of the
// test's own on a private session bus.
#include "platform/desktop/screen_saver.h"

#include <gio/gio.h>
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {
constexpr const char* kName = "org.freedesktop.ScreenSaver";
constexpr const char* kInterface = R"(<node><interface name="org.freedesktop.ScreenSaver">
  <method name="Inhibit"><arg type="s" direction="in"/><arg type="s" direction="in"/><arg type="u" direction="out"/></method>
  <method name="UnInhibit"><arg type="u" direction="in"/></method>
</interface></node>)";

struct Call {
  std::string method, sender, application, reason;
  guint32 cookie = 0;
};

// The service, on a thread and main context of its own. It holds every
// Inhibit call until the test answers it, so the test can tell whether
// the caller waited for the answer.
class FakeScreenSaver {
 public:
  explicit FakeScreenSaver(const std::string& address) {
    thread_ = std::thread([this, address] { Serve(address); });
    std::unique_lock<std::mutex> lock(m_);
    cv_.wait(lock, [&] { return started_; });
  }
  ~FakeScreenSaver() {
    auto quit = [](gpointer loop) -> gboolean {
      g_main_loop_quit(static_cast<GMainLoop*>(loop));
      return FALSE;
    };
    g_main_context_invoke(context_, quit, loop_);
    thread_.join();
  }
  bool ok() const { return connection_ != nullptr; }

  // Waits for the service to have been called n times (or for a minute:
  // a guard against a hang, not a measure of speed).
  std::vector<Call> CallsOnceThereAre(size_t n) {
    std::unique_lock<std::mutex> lock(m_);
    cv_.wait_for(lock, std::chrono::minutes(1), [&] { return calls_.size() >= n; });
    return calls_;
  }

  void AnswerHeldInhibit(guint32 cookie) {
    GDBusMethodInvocation* held;
    {
      std::lock_guard<std::mutex> lock(m_);
      held = std::exchange(held_, nullptr);
    }
    ASSERT_NE(held, nullptr);
    g_dbus_method_invocation_return_value(held, g_variant_new("(u)", cookie));
  }

  // Whether a connection is still on the bus.
  bool OnTheBus(const std::string& name) {
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

 private:
  static void OnCall(GDBusConnection*, const gchar* sender, const gchar*, const gchar*, const gchar* method,
                     GVariant* params, GDBusMethodInvocation* invocation, gpointer self) {
    static_cast<FakeScreenSaver*>(self)->Record(sender, method, params, invocation);
  }

  void Record(const gchar* sender, const gchar* method, GVariant* params, GDBusMethodInvocation* invocation) {
    Call c{method, sender, "", "", 0};
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

  void Serve(const std::string& address) {
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

  std::thread thread_;
  std::mutex m_;
  std::condition_variable cv_;
  bool started_ = false;
  std::vector<Call> calls_;
  GDBusMethodInvocation* held_ = nullptr;
  GMainContext* context_ = nullptr;
  GMainLoop* loop_ = nullptr;
  GDBusConnection* connection_ = nullptr;
};

// A session bus of the test's own, ended with the test.
struct PrivateBus {
  std::string address;
  long pid = 0;
  PrivateBus() {
    FILE* p = popen("dbus-daemon --session --fork --print-address=1 --print-pid=1 2>/dev/null", "r");
    if (!p) return;
    char line[512] = {};
    if (fgets(line, sizeof line, p)) address = std::string(line, strcspn(line, "\n"));
    if (fgets(line, sizeof line, p)) pid = std::strtol(line, nullptr, 10);
    pclose(p);
  }
  ~PrivateBus() {
    if (pid > 0) kill(static_cast<pid_t>(pid), SIGTERM);
  }
};
}  // namespace

// The inhibition is asked for without the caller waiting for the service's
// answer, is held by a connection that stays on the bus (the service drops
// the inhibitions of callers that leave it), and is released with its own
// cookie; without a service, nothing is held and nothing hangs.
TEST(ScreenSaver, InhibitionIsHeldFromALastingConnectionWithoutTheCallerWaiting) {
  PrivateBus bus;
  if (bus.address.empty() || bus.pid <= 0) GTEST_SKIP() << "dbus-daemon is not installed";
  setenv("DBUS_SESSION_BUS_ADDRESS", bus.address.c_str(), 1);

  InhibitScreenSaver("Converting a video");
  EXPECT_FALSE(ScreenSaverInhibitedAfterPendingCalls()) << "held without a service";
  ReleaseScreenSaver();

  FakeScreenSaver service(bus.address);
  ASSERT_TRUE(service.ok());
  InhibitScreenSaver("Converting a video");
  // Back here while the service still holds the call: answer it now.
  std::vector<Call> calls = service.CallsOnceThereAre(1);
  ASSERT_EQ(calls.size(), 1u);
  service.AnswerHeldInhibit(77);
  EXPECT_TRUE(ScreenSaverInhibitedAfterPendingCalls());
  EXPECT_EQ(calls[0].method, "Inhibit");
  EXPECT_EQ(calls[0].application, "Corvane Video Converter");
  EXPECT_EQ(calls[0].reason, "Converting a video");
  EXPECT_TRUE(service.OnTheBus(calls[0].sender)) << "the inhibiting connection left the bus";

  // A second request while held asks nothing more; the release ends it.
  InhibitScreenSaver("Converting a video");
  ReleaseScreenSaver();
  EXPECT_FALSE(ScreenSaverInhibitedAfterPendingCalls());
  calls = service.CallsOnceThereAre(2);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[1].method, "UnInhibit");
  EXPECT_EQ(calls[1].cookie, 77u);
  EXPECT_EQ(calls[1].sender, calls[0].sender);
}
