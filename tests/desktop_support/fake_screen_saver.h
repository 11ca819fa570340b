#pragma once
// A session bus of a test's own, and a stand-in org.freedesktop.ScreenSaver
// service on it that records its calls and holds every Inhibit call until
// the test answers it, so a test can tell whether the caller waited.
#include <gio/gio.h>

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct ScreenSaverCall {
  std::string method, sender, application, reason;
  guint32 cookie = 0;
};

// The service, on a thread and main context of its own.
class FakeScreenSaver {
 public:
  explicit FakeScreenSaver(const std::string& address);
  ~FakeScreenSaver();
  FakeScreenSaver(const FakeScreenSaver&) = delete;
  FakeScreenSaver& operator=(const FakeScreenSaver&) = delete;
  bool ok() const { return connection_ != nullptr; }

  // The calls so far, once there are n of them (or after a minute: a guard
  // against a hang, not a measure of speed).
  std::vector<ScreenSaverCall> CallsOnceThereAre(size_t n);
  // Answers the Inhibit call the service holds; false when none is held.
  bool AnswerHeldInhibit(guint32 cookie);
  // Whether a connection is still on the bus.
  bool OnTheBus(const std::string& name);

 private:
  static void OnCall(GDBusConnection*, const gchar* sender, const gchar*, const gchar*, const gchar* method,
                     GVariant* params, GDBusMethodInvocation* invocation, gpointer self);
  void Record(const gchar* sender, const gchar* method, GVariant* params, GDBusMethodInvocation* invocation);
  void Serve(const std::string& address);

  std::thread thread_;
  std::mutex m_;
  std::condition_variable cv_;
  bool started_ = false;
  std::vector<ScreenSaverCall> calls_;
  GDBusMethodInvocation* held_ = nullptr;
  GMainContext* context_ = nullptr;
  GMainLoop* loop_ = nullptr;
  GDBusConnection* connection_ = nullptr;
};

// A session bus of the test's own (dbus-daemon), ended with the object;
// address is empty when none could be started.
struct PrivateBus {
  std::string address;
  long pid = 0;
  PrivateBus();
  ~PrivateBus();
};
