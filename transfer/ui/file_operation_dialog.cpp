#include "transfer/ui/file_operation_dialog.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProgressDialog>

#include "app/core/message_dlg.h"

namespace {
constexpr int kProgressSteps = 1000;

// A modal progress dialog that the operation's progress callback drives.
class ProgressRun {
 public:
  ProgressRun(QWidget* owner, const QString& title)
      : dialog_(title, QStringLiteral("Cancel"), 0, kProgressSteps, owner) {
    dialog_.setWindowTitle(title);
    dialog_.setWindowModality(Qt::WindowModal);
    dialog_.setMinimumDuration(400);
    dialog_.setAutoClose(false);
    dialog_.setAutoReset(false);
    dialog_.setValue(0);
  }

  FileOpProgressFn Callback() {
    return [this](const FileOpProgress& p) {
      const double part = p.bytesTotal > 0
                              ? static_cast<double>(p.bytesDone) / static_cast<double>(p.bytesTotal)
                              : (p.itemCount > 0 ? static_cast<double>(p.itemIndex) / p.itemCount : 0.0);
      dialog_.setLabelText(QFileInfo(QString::fromStdString(p.currentPath)).fileName());
      dialog_.setValue(static_cast<int>(part * kProgressSteps));
      QCoreApplication::processEvents();
      return !dialog_.wasCanceled();
    };
  }

  void Done(const FileOpResult& result) {
    dialog_.setValue(kProgressSteps);
    dialog_.hide();
    if (!result.error.empty()) ShowMessageDlg(result.error, MsgKind::Error, mbOK);
  }

 private:
  QProgressDialog dialog_;
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
