#include "app/batchwindow/batch_form.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMetaObject>
#include <QMimeData>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include "app/batch/batch_converter.h"
#include "app/batch/profile_commands.h"
#include "app/batchwindow/batch_file_table.h"
#include "app/batchwindow/batch_worker.h"
#include "app/batchwindow/source_length.h"
#include "core/frame_state.h"
#include "app/window/lumivault_form.h"
#include "app/window/output_config_group.h"
#include "app/window/output_panel_rules.h"
#include "app/window/shell_open.h"
#include "app/window/qt_text.h"
#include "engine/playback.h"
#include "settings/settings.h"
#include "settings/settings_store.h"

namespace {
QPushButton* Button(const char* name, const char* text, QWidget* parent) {
  auto* b = new QPushButton(text, parent);
  b->setObjectName(name);
  return b;
}

QLabel* Label(const char* name, const QString& text, QWidget* parent) {
  auto* l = new QLabel(text, parent);
  l->setObjectName(name);
  return l;
}

// The local files and folders of a drag.
QStringList DraggedPaths(const QMimeData* mime) {
  QStringList paths;
  if (!mime) return paths;
  for (const QUrl& url : mime->urls())
    if (url.isLocalFile()) paths << url.toLocalFile();
  return paths;
}

// A file as it is, a folder as the video files directly in it, by name.
QStringList FilesOf(const QString& path) {
  const QFileInfo info(path);
  if (!info.isDir()) return {info.absoluteFilePath()};
  QStringList files;
  const QDir dir(info.absoluteFilePath());
  for (const QString& name : dir.entryList(VideoFilePatterns(), QDir::Files | QDir::Readable, QDir::Name))
    files << dir.absoluteFilePath(name);
  return files;
}
}  // namespace

TBatchForm::TBatchForm(const std::string& programFolder, QWidget* parent)
    : QWidget(parent), worker_(std::make_unique<BatchWorker>(this)) {
  setObjectName("BatchForm");
  setWindowTitle("Corvane Video Converter (Batch Mode)");
  setWindowIcon(QIcon::fromTheme("corvane"));
  setAcceptDrops(true);
  resize(780, 460);
  // One file's length is probed at a time, beside the conversion.
  probes_.setMaxThreadCount(1);
  // The window's start-up: the shipped files, the settings and profiles of
  // the main window.
  Frame().ProgramFolder = programFolder;
  PrepareProgramFolder();
  LoadSettings();
  BuildWidgets();
  LoadProfiles();
  OutputFolderEdit->setText(Q(FolderWithSlash(Frame().GetOutputPath())));
  ConnectHandlers();
  SetRunning(false);
}

TBatchForm::~TBatchForm() {
  probes_.clear();
  probes_.waitForDone();
  worker_.reset();
}

void TBatchForm::BuildWidgets() {
  AddFilesBtn = Button("AddFilesBtn", "Add files ...", this);
  RemoveBtn = Button("RemoveBtn", "Remove", this);
  FileList = new BatchFileTable(this);
  FileList->setObjectName("FileList");
  ProfileCombo = new QComboBox(this);
  ProfileCombo->setObjectName("ProfileCombo");
  ProfileCombo->setMinimumWidth(214);
  OutputFolderEdit = new QLineEdit(this);
  OutputFolderEdit->setObjectName("OutputFolderEdit");
  BrowseBtn = Button("BrowseBtn", "Browse ...", this);
  ProgressStatus = Label("ProgressStatus", QString(), this);
  SummaryLabel = Label("SummaryLabel", "Add video files with \"Add files ...\" or drop them here.", this);
  SummaryLabel->setWordWrap(true);
  OpenOutputFolderBtn = Button("OpenOutputFolderBtn", "Open output folder", this);
  StopBtn = Button("StopBtn", "Stop", this);
  ConvertAllBtn = Button("ConvertAllBtn", "Convert all", this);
  ConvertAllBtn->setDefault(true);

  auto* files = new QHBoxLayout;
  files->addWidget(AddFilesBtn);
  files->addWidget(RemoveBtn);
  files->addStretch();
  auto* output = new QHBoxLayout;
  output->addWidget(Label("UseProfileLabel", "Use profile", this));
  output->addWidget(ProfileCombo);
  output->addSpacing(12);
  output->addWidget(Label("OutputFolderLabel", "Output folder", this));
  output->addWidget(OutputFolderEdit, 1);
  output->addWidget(BrowseBtn);
  auto* actions = new QHBoxLayout;
  actions->addWidget(SummaryLabel, 1);
  actions->addWidget(OpenOutputFolderBtn);
  actions->addWidget(StopBtn);
  actions->addWidget(ConvertAllBtn);
  auto* all = new QVBoxLayout(this);
  all->addLayout(files);
  all->addWidget(FileList, 1);
  all->addLayout(output);
  all->addLayout(actions);
  all->addWidget(ProgressStatus);
}

void TBatchForm::ConnectHandlers() {
  connect(AddFilesBtn, &QPushButton::clicked, this, &TBatchForm::AddFilesBtnClick);
  connect(RemoveBtn, &QPushButton::clicked, this, &TBatchForm::RemoveBtnClick);
  connect(BrowseBtn, &QPushButton::clicked, this, &TBatchForm::BrowseBtnClick);
  connect(ConvertAllBtn, &QPushButton::clicked, this, &TBatchForm::ConvertAllBtnClick);
  connect(StopBtn, &QPushButton::clicked, this, &TBatchForm::StopBtnClick);
  connect(OpenOutputFolderBtn, &QPushButton::clicked, this, &TBatchForm::OpenOutputFolderBtnClick);
  connect(ProfileCombo, &QComboBox::currentIndexChanged, this, &TBatchForm::ProfileComboChange);
  connect(OutputFolderEdit, &QLineEdit::textEdited, this, &TBatchForm::OutputFolderEditChange);
  BatchWorker* w = worker_.get();
  connect(w, &BatchWorker::fileBegins, this, &TBatchForm::OnFileBegins);
  connect(w, &BatchWorker::fileOutput, this, &TBatchForm::OnFileOutput);
  connect(w, &BatchWorker::fileProgress, this, &TBatchForm::OnFileProgress);
  connect(w, &BatchWorker::fileMessage, this, &TBatchForm::OnFileMessage);
  connect(w, &BatchWorker::fileEnds, this, &TBatchForm::OnFileEnds);
  connect(w, &BatchWorker::batchMessage, this, &TBatchForm::OnBatchMessage);
  connect(w, &BatchWorker::batchEnds, this, &TBatchForm::OnBatchEnds);
  connect(w, &BatchWorker::finished, this, &TBatchForm::OnFinished);
}

void TBatchForm::LoadProfiles() {
  std::string why;
  const int selected = LoadBatchProfile(profiles_, "", &why);
  for (const CProfile& p : profiles_) ProfileCombo->addItem(Q(p.name));
  ProfileCombo->setCurrentIndex(selected);
  if (selected < 0) SummaryLabel->setText(Q(why));
}

bool TBatchForm::Running() const { return worker_->Running(); }

void TBatchForm::SetRunning(bool running) {
  // The profile and folder hold for a whole batch.
  for (QWidget* w : {static_cast<QWidget*>(ProfileCombo), static_cast<QWidget*>(OutputFolderEdit),
                     static_cast<QWidget*>(BrowseBtn), static_cast<QWidget*>(ConvertAllBtn)})
    w->setEnabled(!running);
  StopBtn->setEnabled(running);
  if (running) OpenOutputFolderBtn->hide();
}

void TBatchForm::AddFiles(const QStringList& paths) {
  for (const QString& path : paths) {
    for (const QString& file : FilesOf(path)) {
      const int id = queue_.Add(S(file));
      FileList->AddFile(id, file);
      ProbeLength(id, file);
      lastFolder_ = QFileInfo(file).absolutePath();
    }
  }
}

void TBatchForm::ProbeLength(int id, const QString& path) {
  probes_.start([this, id, path] {
    const std::optional<double> seconds = SourceLengthSeconds(S(path));
    const QString text = seconds ? Q(TimeText(*seconds)) : QString("-");
    QMetaObject::invokeMethod(this, [this, id, text] { FileList->SetLength(id, text); }, Qt::QueuedConnection);
  });
}

void TBatchForm::AddFilesBtnClick() {
  QFileDialog dialog(this, "Add video files", lastFolder_, OpenVideoFilter());
  dialog.setObjectName("AddFilesDialog");
  dialog.setFileMode(QFileDialog::ExistingFiles);
  if (dialog.exec() == QDialog::Accepted) AddFiles(dialog.selectedFiles());
}

void TBatchForm::RemoveBtnClick() {
  // A waiting file leaves the queue; a finished one leaves the list; the
  // file under way stays.
  for (int id : FileList->SelectedIds()) {
    const QString state = FileList->Text(id, BatchFileTable::kState);
    const bool finished = state == "Converted" || state == "Failed" || state == "Stopped";
    if (!queue_.Remove(id) && !finished) continue;
    FileList->RemoveFile(id);
    notes_.remove(id);
  }
}

void TBatchForm::BrowseBtnClick() {
  const QString folder = QFileDialog::getExistingDirectory(this, "Select your a folder to store converted videos",
                                                           OutputFolderEdit->text(), QFileDialog::ShowDirsOnly);
  if (folder.isEmpty()) return;
  OutputFolderEdit->setText(folder);
  OutputFolderEditChange();
}

void TBatchForm::ProfileComboChange() {
  if (ProfileCombo->currentIndex() < 0) return;
  WriteSettingText(kOutputConfigGroup, "last_profile", S(ProfileCombo->currentText()).c_str());
}

void TBatchForm::OutputFolderEditChange() {
  // As in the main window: the folder is kept as that of the last output.
  FrameState& f = Frame();
  f.SetOutputPath(OutputPathInFolder(S(OutputFolderEdit->text()), f.GetOutputPath(), f.OutputFormat));
  WriteSettingText(kOutputConfigGroup, "LastOutput", f.GetOutputPath().c_str());
}

void TBatchForm::ConvertAllBtnClick() {
  if (Running()) return;
  if (queue_.Waiting() == 0) {
    SummaryLabel->setText("Nothing waits to be converted: add video files first.");
    return;
  }
  BatchOptions options;
  options.profile = S(ProfileCombo->currentText());
  const QString folder = OutputFolderEdit->text().trimmed();
  if (!folder.isEmpty()) options.outputFolder = S(QFileInfo(folder).absoluteFilePath());
  batchErrors_.clear();
  summary_.clear();
  SummaryLabel->setText("Converting ...");
  SetRunning(true);
  worker_->Start(options, queue_);
}

void TBatchForm::StopBtnClick() {
  if (!Running()) return;
  worker_->RequestStop();
  StopBtn->setEnabled(false);
  if (currentId_ >= 0) FileList->SetState(currentId_, "Stopping");
  SummaryLabel->setText("Stopping: the file under way is finished as far as it got ...");
}

void TBatchForm::OpenOutputFolderBtnClick() { ShellOpen(S(OutputFolderEdit->text().trimmed())); }

void TBatchForm::OnFileBegins(int id) {
  currentId_ = id;
  notes_[id] = RowNotes();
  FileList->SetState(id, "Converting");
  FileList->SetProgress(id, 0);
  FileList->SetMessage(id, QString());
  FileList->scrollToItem(FileList->item(FileList->RowOf(id), BatchFileTable::kName));
}

void TBatchForm::OnFileOutput(int id, const QString& output) {
  notes_[id].output = output;
  FileList->SetMessage(id, "Writing " + QFileInfo(output).fileName());
}

void TBatchForm::OnFileProgress(int id, const QString& line, int percent) {
  ProgressStatus->setText(line.trimmed());
  FileList->SetProgress(id, percent);
  emit progressShown(id, percent);
}

void TBatchForm::OnFileMessage(int id, const QString& text, bool failure) {
  RowNotes& n = notes_[id];
  if (failure) n.failure = text;
  else n.notices << text;
  FileList->SetMessage(id, RowMessage(id, failure ? text : FileList->Text(id, BatchFileTable::kMessage)));
}

void TBatchForm::OnFileEnds(int id, bool converted, bool stopped, double videoSeconds, double wallSeconds) {
  const RowNotes& n = notes_[id];
  QString head = n.failure;
  if (converted) {
    head = QFileInfo(n.output).fileName() + ": " + Q(TimeText(videoSeconds)) + " converted in " +
           Q(TimeText(wallSeconds));
    FileList->SetProgress(id, 100);
  }
  FileList->SetState(id, converted ? "Converted" : stopped ? "Stopped" : "Failed");
  FileList->SetMessage(id, RowMessage(id, head));
  ProgressStatus->clear();
  currentId_ = -1;
}

QString TBatchForm::RowMessage(int id, const QString& head) const {
  QStringList parts;
  if (!head.isEmpty()) parts << head;
  for (const QString& notice : notes_.value(id).notices)
    if (!parts.contains(notice)) parts << notice;
  return parts.join("; ");
}

void TBatchForm::OnBatchMessage(const QString& text, bool error) {
  if (error) batchErrors_ << text;
  else ProgressStatus->setText(text);
}

void TBatchForm::OnBatchEnds(const QString& summary) { summary_ = summary; }

void TBatchForm::OnFinished(int status) {
  SetRunning(false);
  QStringList lines = batchErrors_;
  if (!summary_.isEmpty()) lines << summary_;
  SummaryLabel->setText(lines.join("\n"));
  OpenOutputFolderBtn->setVisible(!summary_.isEmpty());
  ProgressStatus->clear();
  emit batchFinished(status);
  if (closeWhenDone_) close();
}

void TBatchForm::closeEvent(QCloseEvent* event) {
  if (!Running()) {
    event->accept();
    return;
  }
  if (!closeWhenDone_ &&
      QMessageBox::question(this, windowTitle(),
                            "Stop converting?\nThe file under way is finished as far as it got.",
                            QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes) {
    event->ignore();
    return;
  }
  // The window goes once the batch has finished its output.
  closeWhenDone_ = true;
  StopBtnClick();
  event->ignore();
}

void TBatchForm::QuitWithoutQuestions() {
  closeWhenDone_ = true;
  close();
}

void TBatchForm::dragEnterEvent(QDragEnterEvent* event) {
  if (!DraggedPaths(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void TBatchForm::dropEvent(QDropEvent* event) {
  const QStringList paths = DraggedPaths(event->mimeData());
  if (paths.isEmpty()) return;
  AddFiles(paths);
  event->acceptProposedAction();
}
