#pragma once
// Notices mounts and unmounts (a memory stick plugged in or pulled out)
// while it runs: the kernel marks the mount table file as having an
// exceptional condition (POLLPRI) after every change, which the event loop
// watches without reading anything. A burst of changes (a stick with several
// partitions, an automounter's remount) gives one Changed() a moment later.
#include <QObject>
#include <QTimer>

#include <string>

class QSocketNotifier;

class MountWatcher : public QObject {
  Q_OBJECT
 public:
  explicit MountWatcher(QObject* parent = nullptr, std::string mountTable = "/proc/self/mountinfo");
  ~MountWatcher() override;

  // Starts or stops watching; starting twice changes nothing. False when the
  // mount table cannot be opened (logged).
  bool Start();
  void Stop();
  bool Watching() const { return fd_ >= 0; }

 signals:
  void Changed();

 private:
  std::string mountTable_;
  int fd_ = -1;
  QSocketNotifier* notifier_ = nullptr;
  QTimer settle_;  // gathers a burst of changes into one signal
};
