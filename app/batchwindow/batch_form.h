#pragma once
// The batch window ("Corvane Video Converter (Batch Mode)"): a list of video
// files converted one after the other with the engine, settings and profiles
// of the main window, through the same batch as batchvc. Files come from a
// file dialog or are dropped on the window; each row shows the file's name,
// length, state, progress and the engine's message. The profile and output
// folder are chosen as in the main window; Convert all, Stop (the file under
// way is finished as far as it got), Remove; a summary and "Open output
// folder" at the end.
#include <QHash>
#include <QStringList>
#include <QThreadPool>
#include <QWidget>

#include <memory>
#include <string>
#include <vector>

#include "app/batch/batch_queue.h"
#include "profiles/profile.h"

class BatchFileTable;
class BatchWorker;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

class TBatchForm : public QWidget {
  Q_OBJECT

 public:
  // programFolder holds the shipped profiles, language table and .reg files.
  explicit TBatchForm(const std::string& programFolder, QWidget* parent = nullptr);
  ~TBatchForm() override;

  // Puts the files (and the video files of folders) at the end of the list
  // and of the batch's queue.
  void AddFiles(const QStringList& paths);
  bool Running() const;
  // Closes without a question: a batch under way is stopped (its output
  // finished) and the window closes when it has ended.
  void QuitWithoutQuestions();

  QPushButton* AddFilesBtn;
  QPushButton* RemoveBtn;
  BatchFileTable* FileList;
  QComboBox* ProfileCombo;
  QLineEdit* OutputFolderEdit;
  QPushButton* BrowseBtn;
  QLabel* ProgressStatus;
  QLabel* SummaryLabel;
  QPushButton* OpenOutputFolderBtn;
  QPushButton* StopBtn;
  QPushButton* ConvertAllBtn;

 signals:
  // A row's progress bar moved (for pictures of a running batch).
  void progressShown(int id, int percent);
  // The batch has ended with batchvc's exit status.
  void batchFinished(int status);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  // What a row's message is made of.
  struct RowNotes {
    QString output;
    QString failure;
    QStringList notices;
  };

  void BuildWidgets();
  void ConnectHandlers();
  void LoadProfiles();
  void SetRunning(bool running);
  void ProbeLength(int id, const QString& path);
  QString RowMessage(int id, const QString& head) const;

  void AddFilesBtnClick();
  void RemoveBtnClick();
  void BrowseBtnClick();
  void ConvertAllBtnClick();
  void StopBtnClick();
  void OpenOutputFolderBtnClick();
  void ProfileComboChange();
  void OutputFolderEditChange();

  void OnFileBegins(int id);
  void OnFileOutput(int id, const QString& output);
  void OnFileProgress(int id, const QString& line, int percent);
  void OnFileMessage(int id, const QString& text, bool failure);
  void OnFileEnds(int id, bool converted, bool stopped, double videoSeconds, double wallSeconds);
  void OnBatchMessage(const QString& text, bool error);
  void OnBatchEnds(const QString& summary);
  void OnFinished(int status);

  BatchQueue queue_;
  std::vector<CProfile> profiles_;
  QHash<int, RowNotes> notes_;
  QStringList batchErrors_;   // of the batch under way, shown with its summary
  QString summary_;
  QString lastFolder_;        // where the file dialog opens
  int currentId_ = -1;        // the file under way
  bool closeWhenDone_ = false;
  // Declared last: destroyed first, so no thread outlives what it reports to.
  QThreadPool probes_;
  std::unique_ptr<BatchWorker> worker_;
};
