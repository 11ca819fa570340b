#include "transfer/ui/file_operation_dialog.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QProgressDialog>
#include <QTimer>

#include <atomic>
#include <mutex>
#include <thread>

#include "core/message_dlg.h"

namespace {
constexpr int kProgressSteps = 1000;
// How often the dialog shows what a worker thread has reported.
constexpr int kWorkerPollMs = 100;

// A modal progress dialog that the operation's progress drives.
class ProgressRun {
 public:
  ProgressRun(QWidget* owner, const QString& title, int minimumDurationMs = 400)
      : dialog_(title, QStringLiteral("Cancel"), 0, kProgressSteps, owner) {
    dialog_.setWindowTitle(title);
    dialog_.setWindowModality(Qt::WindowModal);
    dialog_.setMinimumDuration(minimumDurationMs);
    dialog_.setAutoClose(false);
    dialog_.setAutoReset(false);
    dialog_.setValue(0);
  }

  // Shows p; true while the user has not cancelled.
  bool Show(const FileOpProgress& p) {
    const double part = p.bytesTotal > 0
                            ? static_cast<double>(p.bytesDone) / static_cast<double>(p.bytesTotal)
                            : (p.itemCount > 0 ? static_cast<double>(p.itemIndex) / p.itemCount : 0.0);
    dialog_.setLabelText(QFileInfo(QString::fromStdString(p.currentPath)).fileName());
    dialog_.setValue(static_cast<int>(part * kProgressSteps));
    return !dialog_.wasCanceled();
  }

  // The callback of work on the user-interface thread.
  FileOpProgressFn Callback() {
    return [this](const FileOpProgress& p) {
      const bool go = Show(p);
      QCoreApplication::processEvents();
      return go && !dialog_.wasCanceled();
    };
  }

  void Done(const FileOpResult& result) {
    dialog_.setValue(kProgressSteps);
    dialog_.hide();
    if (!result.error.empty()) ShowMessageDlg(result.error, MsgKind::Error, mbOK);
  }

  QProgressDialog& Dialog() { return dialog_; }

 private:
  QProgressDialog dialog_;
};

// What a worker thread last reported, for the dialog on the window's thread.
class SharedProgress {
 public:
  FileOpProgressFn Callback() {
    return [this](const FileOpProgress& p) {
      std::lock_guard<std::mutex> lock(mutex_);
      latest_ = p;
      return !cancelled_.load();
    };
  }
  FileOpProgress Latest() {
    std::lock_guard<std::mutex> lock(mutex_);
    return latest_;
  }
  void Cancel() { cancelled_ = true; }

 private:
  std::mutex mutex_;  // guards latest_
  FileOpProgress latest_;
  std::atomic<bool> cancelled_{false};
};
}  // namespace

FileOpResult CopyWithProgress(QWidget* owner, const QString& title, const std::vector<std::string>& paths,
                              const std::string& destFolder) {
  ProgressRun run(owner, title);
  const FileOpResult result = CopyItems(paths, destFolder, run.Callback(), [](const std::string& dest) {
    return ShowMessageDlg("\"" + dest + "\" already exists. Replace it?", MsgKind::Confirmation,
                          mbYes | mbNo) == mrYes;
  });
  run.Done(result);
  return result;
}

FileOpResult DeleteWithProgress(QWidget* owner, const QString& title, const std::vector<std::string>& paths,
                                bool confirm) {
  if (confirm) {
    const std::string question = paths.size() == 1
                                     ? "Delete \"" + paths.front() + "\" permanently?"
                                     : "Delete these " + std::to_string(paths.size()) + " items permanently?";
    if (ShowMessageDlg(question, MsgKind::Confirmation, mbYes | mbNo) != mrYes) return {};
  }
  ProgressRun run(owner, title);
  const FileOpResult result = DeleteItems(paths, run.Callback());
  run.Done(result);
  return result;
}

void RunWithProgress(QWidget* owner, const QString& title,
                     const std::function<void(const FileOpProgressFn& progress)>& work) {
  ProgressRun run(owner, title, 0);
  SharedProgress shared;
  QObject::connect(&run.Dialog(), &QProgressDialog::canceled, [&shared] { shared.Cancel(); });
  run.Dialog().show();
  QEventLoop loop;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] { run.Show(shared.Latest()); });
  poll.start(kWorkerPollMs);
  std::thread worker([&] {
    work(shared.Callback());
    QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
  });
  loop.exec();
  worker.join();
  run.Done({});
}
