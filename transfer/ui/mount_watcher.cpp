#include "transfer/ui/mount_watcher.h"

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <utility>

#include "core/diag_log.h"

namespace {
// Changes closer together than this are one change.
constexpr int kSettleMs = 300;
}  // namespace

MountWatcher::MountWatcher(QObject* parent, std::string mountTable)
    : QObject(parent), mountTable_(std::move(mountTable)) {
  settle_.setSingleShot(true);
  settle_.setInterval(kSettleMs);
  connect(&settle_, &QTimer::timeout, this, &MountWatcher::Changed);
}

MountWatcher::~MountWatcher() { Stop(); }

bool MountWatcher::Start() {
  if (fd_ >= 0) return true;
  fd_ = ::open(mountTable_.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) {
    WriteLog("Cannot watch %s: %s", mountTable_.c_str(), std::strerror(errno));
    return false;
  }
  // Polling the file is what re-arms it: each change is reported once.
  notifier_ = new QSocketNotifier(fd_, QSocketNotifier::Exception, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this] { settle_.start(); });
  return true;
}

void MountWatcher::Stop() {
  settle_.stop();
  delete notifier_;
  notifier_ = nullptr;
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}
