#pragma once
// Ends the desktop program on SIGINT and SIGTERM as a desktop program ends:
// the request reaches the window's thread through the event loop, which
// then closes the window as its own close does. A second signal while the
// first is being handled ends the process at once.
#include <QObject>
#include <functional>

class QSocketNotifier;

class QuitOnSignals : public QObject {
  Q_OBJECT

 public:
  // quit runs on the thread that owns this object, once per signal.
  explicit QuitOnSignals(std::function<void()> quit, QObject* parent = nullptr);
  ~QuitOnSignals() override;

 private:
  void Received();

  std::function<void()> quit_;
  QSocketNotifier* notifier_ = nullptr;
};
