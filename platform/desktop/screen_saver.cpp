#include "platform/desktop/screen_saver.h"

#include <gio/gio.h>
#include <sys/stat.h>

#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "core/diag_log.h"

namespace {
constexpr const char* kService = "org.freedesktop.ScreenSaver";
constexpr const char* kPath = "/org/freedesktop/ScreenSaver";
constexpr int kCallTimeoutMs = 2000;

// One inhibiting thread for the process. Callers state what they want (held
// or not, and why); the thread brings the session in line, one bus call at
// a time, so a release never overtakes the inhibit it ends.
class Inhibitor {
 public:
  ~Inhibitor() {
    {
      std::lock_guard<std::mutex> lock(m_);
      ending_ = true;
    }
    if (worker_.joinable()) worker_.join();
    // Leaving the bus with the process ends any inhibition still held.
    if (bus_) g_object_unref(bus_);
  }

  void Want(bool held, const std::string& reason) {
    std::lock_guard<std::mutex> lock(m_);
    wanted_ = held;
    if (held) reason_ = reason;
    ++requests_;
    if (running_) return;  // the running thread takes the request after its call
    // The thread lives only while there are calls to make: a program or
    // test that counts its threads after a conversion finds none left.
    if (worker_.joinable()) worker_.join();  // done with its calls, or about to be
    running_ = true;
    worker_ = std::thread([this] { Run(); });
  }

  bool HeldAfterPendingCalls() {
    std::unique_lock<std::mutex> lock(m_);
    const std::uint64_t asked = requests_;
    settled_.wait(lock, [&] { return done_ >= asked; });
    return cookie_ != 0;
  }

 private:
  void Run() {
    std::unique_lock<std::mutex> lock(m_);
    while (!ending_ && done_ < requests_) {
      const std::uint64_t upTo = requests_;
      const bool wanted = wanted_;
      const std::string reason = reason_;
      std::uint32_t cookie = cookie_;
      lock.unlock();
      if (wanted && cookie == 0) cookie = Inhibit(reason);
      else if (!wanted && cookie != 0) cookie = UnInhibit(cookie);
      lock.lock();
      cookie_ = cookie;
      done_ = upTo;
      settled_.notify_all();
    }
    running_ = false;
  }

  // A session bus is named in the environment or sits in the user's runtime
  // folder; without one there is no screen saver service to ask, and the
  // library is not asked to start a bus of its own.
  static bool SessionBusExists() {
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (address && *address) return true;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    struct stat st;
    return runtime && *runtime && stat((std::string(runtime) + "/bus").c_str(), &st) == 0 && S_ISSOCK(st.st_mode);
  }

  GDBusConnection* Bus() {
    if (bus_ || busFailed_) return bus_;
    if (!SessionBusExists()) {
      busFailed_ = true;
      WriteLog("Screen saver: no session bus");
      return nullptr;
    }
    GError* error = nullptr;
    bus_ = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    if (!bus_) {
      busFailed_ = true;
      WriteLog("Screen saver: no session bus (%s)", error ? error->message : "unknown");
      g_clear_error(&error);
    }
    return bus_;
  }

  // The cookie of the inhibition, or 0 when none was granted.
  std::uint32_t Inhibit(const std::string& reason) {
    GDBusConnection* bus = Bus();
    if (!bus) return 0;
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(
        bus, kService, kPath, kService, "Inhibit", g_variant_new("(ss)", "Corvane Video Converter", reason.c_str()),
        G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs, nullptr, &error);
    if (!reply) {
      WriteLog("Screen saver: no inhibit service on the session bus (%s)", error ? error->message : "unknown");
      g_clear_error(&error);
      return 0;
    }
    std::uint32_t cookie = 0;
    g_variant_get(reply, "(u)", &cookie);
    g_variant_unref(reply);
    return cookie;
  }

  // 0 once released; the cookie again when the service refused.
  std::uint32_t UnInhibit(std::uint32_t cookie) {
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(Bus(), kService, kPath, kService, "UnInhibit",
                                                  g_variant_new("(u)", cookie), nullptr, G_DBUS_CALL_FLAGS_NONE,
                                                  kCallTimeoutMs, nullptr, &error);
    if (!reply) {
      WriteLog("Screen saver: the inhibition was not released (%s)", error ? error->message : "unknown");
      g_clear_error(&error);
      return cookie;
    }
    g_variant_unref(reply);
    return 0;
  }

  std::mutex m_;
  std::condition_variable settled_;
  std::thread worker_;
  bool wanted_ = false, running_ = false, ending_ = false;
  std::string reason_;
  std::uint64_t requests_ = 0, done_ = 0;
  std::uint32_t cookie_ = 0;  // the held inhibition's, 0 for none
  // The inhibiting thread's (one at a time, each joined before the next).
  GDBusConnection* bus_ = nullptr;
  bool busFailed_ = false;
};

Inhibitor& TheInhibitor() {
  static Inhibitor inhibitor;
  return inhibitor;
}
}  // namespace

void InhibitScreenSaver(const std::string& reason) { TheInhibitor().Want(true, reason); }

void ReleaseScreenSaver() { TheInhibitor().Want(false, {}); }

bool ScreenSaverInhibitedAfterPendingCalls() { return TheInhibitor().HeldAfterPendingCalls(); }
