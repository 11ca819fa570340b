// The main window's start-up, first activation, close procedure, frame
// menu commands, source and transport handlers, and the video layout.
#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <algorithm>

#include "app/core/diag_log.h"
#include "app/core/frame_state.h"
#include "app/core/message_dlg.h"
#include "app/window/ask_default_output_folder.h"
#include "app/window/dvd_filter_listing.h"
#include "app/window/finished_recording.h"
#include "app/window/lumivault_form.h"
#include "app/window/output_panel_rules.h"
#include "app/window/output_setting_dlg.h"
#include "app/window/range_bar.h"
#include "app/window/save_profile_form.h"
#include "app/window/screen_covers.h"
#include "app/window/screen_image.h"
#include "app/window/shell_open.h"
#include "app/window/tooltip_timing.h"
#include "app/window/value_list_editor.h"
#include "app/window/video_geometry.h"
#include "app/window/video_panel.h"
#include "platform/core/paths.h"
#include "platform/sysinfo/environment_checks.h"
#include "settings/settings.h"
#include "settings/settings_store.h"
#include "transfer/ui/transfer_form.h"

const char kDefaultHomePage[] = "https://www.corvane.example/";
const char kBatchConverterProgram[] = "corvane-batch";
const char kHelpPage[] = "help.html";

namespace {
void ShowOpenFailure() { ShowMessageDlg("Error opening URL", MsgKind::Error, mbOK); }
}  // namespace

void TLumivaultForm::FormCreate() {
  // 1.
  QRect p = Panel1->geometry();
  panelRect_ = QRect(p.left() + 1, p.top() + 1, p.width() - 2, p.height() - 2);
  // 2.
  ScreenImage = new TScreenImage(PausedScreenPanel);
  ScreenImage->setGeometry(0, 0, Panel1->width() - 2, Panel1->height() - 2);
  PausedScreenPanel->hide();
  ScreenImage->hide();
  // 3.
  OpenDVDButton->setText("Choose Video");
  menu_Seperator->setVisible(true);
  menu_Transfer->setVisible(true);
  SaveThumbnailBtn->show();
  // 4.
  EngineAttachWindow();
  // 5.
  WriteLog("%s", "");
  WriteLog("--------------------------------------");
  WriteLog("%s", "");
  // 6, 7, 8.
  LoadSettings();
  OutputSettingDlg = new TOutputSettingDlg(this);
  Image1->show();
  // 9.
  RunStartupChecks(ListInstalledDvdFilters);
  // 10. The cursors are the toolkit's own.
  Frame().CropRect = CropFractions{};
  // 11, 12.
  SetToolTipTiming(100, 18000);
  setWindowTitle("Corvane Video Converter");
  // 13.
  LoadProfiles();
  // 14.
  OutputFolderEdit->setText(QString::fromStdString(FolderWithSlash(Frame().GetOutputPath())));
  // 15.
  ConfigureValueLists();
  PerformanceMonitor->start();
}

void TLumivaultForm::ConfigureValueLists() {
  for (int row = 0; row < TimeValueList->rowCount(); ++row) {
    TimeValueList->SetPickList(row, {});
    TimeValueList->SetReadOnly(row, false);
  }
  const QStringList fixed = {"Codec", "Size", "FPS"};
  for (int row = 0; row < VideoValueList->rowCount(); ++row)
    VideoValueList->SetReadOnly(row, fixed.contains(VideoValueList->Key(row)));
  for (int row = 0; row < AudioValueList->rowCount(); ++row) AudioValueList->SetReadOnly(row, row < 2);
}

void TLumivaultForm::CreateSmallForms() {
  BlankScreen = new TBlankScreen(this);
  PromptAfterBlankScreen = new TPromptAfterBlankScreen(this);
  FinishedRecording = new TFinishedRecording(this);
  connect(FinishedRecording, &TFinishedRecording::transferRequested, this, &TLumivaultForm::menu_TransferClick);
  AskDefaultOutputFolderForm = new TAskDefaultOutputFolder(this);
  connect(AskDefaultOutputFolderForm, &TAskDefaultOutputFolder::outputFolderChosen, OutputFolderEdit,
          &QLineEdit::setText);
  SaveProfileForm = new TSaveProfileForm(this);
  TransferForm = new TTransferForm(this);
}

void TLumivaultForm::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && isActiveWindow() && !activatedOnce_) FormActivate();
}

void TLumivaultForm::FormActivate() {
  if (activatedOnce_) return;
  activatedOnce_ = true;
  int left = 0, top = 0;
  if (RestoreWindowPosition(&left, &top)) move(left, top);
  // Fully visible on the screen it is on.
  if (QScreen* screen = this->screen()) {
    QRect avail = screen->availableGeometry();
    QRect frame = frameGeometry();
    int x = std::clamp(frame.left(), avail.left(), std::max(avail.left(), avail.right() - frame.width() + 1));
    int y = std::clamp(frame.top(), avail.top(), std::max(avail.top(), avail.bottom() - frame.height() + 1));
    if (x != frame.left() || y != frame.top()) move(x, y);
  }
  for (int i = 0; i < 20; ++i) QCoreApplication::processEvents();
}

bool TLumivaultForm::FormClose() {
  FrameState& f = Frame();
  // 1. A recording under way is stopped only when the user says so.
  if (f.IsRecording) {
    if (ShowMessageDlg("Stop recording?\n", MsgKind::Confirmation, mbYes | mbNo) != mrYes) {
      EnginePlay();
      return false;
    }
    WriteLog("FormClose, stop recording");
    EngineStopRecording();
  } else if (f.PlaybackState == 2) {
    // 2.
    EnginePauseThenStop();
  }
  // 3, 4.
  EngineEndRenderThread();
  EngineTearDownGraph();
  // 5.
  QRect r = frameGeometry();
  SaveWindowPosition(r.left(), r.top(), r.width(), r.height());
  return true;
}

void TLumivaultForm::closeEvent(QCloseEvent* event) {
  if (FormClose()) event->accept();
  else event->ignore();
}

void TLumivaultForm::ExitMenuClick() {
  if (!FormClose()) return;
  close();
}

void TLumivaultForm::menu_OutputSettingClick() {
  OutputSettingDlg->show();
  OutputSettingDlg->raise();
  OutputSettingDlg->activateWindow();
}

void TLumivaultForm::MoreOptionsBtnClick() { OutputSettingDlg->exec(); }

void TLumivaultForm::menu_TransferClick() {
  if (!TransferForm) return;
  TransferForm->show();
  TransferForm->raise();
  TransferForm->activateWindow();
}

void TLumivaultForm::CustomItem1Click() {
  QDir::setCurrent(QString::fromStdString(Frame().ProgramFolder));
  if (!ShellOpen(JoinPath(Frame().ProgramFolder, kHelpPage))) ShowOpenFailure();
}

void TLumivaultForm::CustomItem2Click() {
  if (!ShellOpen(ReadSettingText("URL\\home", kDefaultHomePage))) ShowOpenFailure();
}

void TLumivaultForm::popup_BatchConvertClick() {
  if (!ShellRun(JoinPath(Frame().ProgramFolder, kBatchConverterProgram))) {
    ShowOpenFailure();
    return;
  }
  // The batch converter takes over; the window steps aside once it is up.
  QTimer::singleShot(1200, this, [this] { showMinimized(); });
}

void TLumivaultForm::OpenDVDButtonClick() {
  TePopupMenu1->popup(OpenDVDButton->mapToGlobal(QPoint(0, OpenDVDButton->height() - 4)));
}

void TLumivaultForm::menu_OpenVideoFileClick() {
  QString path = QFileDialog::getOpenFileName(
      this, QString(), QString(),
      "Video files (*.wmv *.mpg *.mpeg *.avi *.dat *.rm *.rmvb);;All files (*)");
  if (path.isEmpty()) return;
  OpenVideoFile(path);
}

void TLumivaultForm::popup_OpenFileClick() { menu_OpenVideoFileClick(); }

void TLumivaultForm::OpenVideoFile(const QString& path) {
  sourcePath_ = path.toStdString();
  WriteLog("Rendering %s", sourcePath_.c_str());
  Panel1->ClearFrame();
  EngineRenderFile(sourcePath_);
  EnableSaveAsItems(true);
}

void TLumivaultForm::PlayButtonClick() {
  EngineRestoreVolume();
  FrameState& f = Frame();
  if (f.ManualStop) {
    // One second right and back runs the seek to the start point again.
    int low = PositionRangeBar->Low();
    PositionRangeBar->SetLow(low + 1);
    PositionRangeBar->SetLow(low);
    if (busyCursor_) SetBusyCursor(false);
    f.ManualStop = false;
  }
  EnginePlay();
}

int TLumivaultForm::OutputWidth() const {
  int width = 0, height = 0;
  if (Frame().CurrentProfile && ParseProfileSize(Frame().CurrentProfile->s, &width, &height)) return width;
  return AppSettings().width;
}

void TLumivaultForm::UpdateStretchFactor() {
  if (AppSettings().autoStretch && sourceWidth_ > 0 && sourceHeight_ > 0)
    stretchFactor_ = AutoStretchFactor(OutputWidth(), sourceWidth_, sourceHeight_, Frame().CropRect);
}

void TLumivaultForm::SourceVideoSizeChanged(int width, int height) {
  sourceWidth_ = width;
  sourceHeight_ = height;
  if (width <= 0 || height <= 0) return;
  UpdateStretchFactor();
  int inner = panelRect_.width();
  EngineSetVideoSize(inner, VideoHeightForAspect(inner, static_cast<double>(width) / height, stretchFactor_));
  Post(WM_VIDEO_RELAYOUT, 0, 0);
}

void TLumivaultForm::VideoRelayout() {
  // 1.
  UpdateStretchFactor();
  // 2.
  if (sourceWidth_ > 0 && sourceHeight_ > 0) {
    VideoPlacement v = PlaceVideo(panelRect_.width(), panelRect_.height(), sourceWidth_, sourceHeight_,
                                  stretchFactor_, Frame().CropRect);
    Panel1->SetVideoPlacement(0, v.top, v.width, v.height);
    EngineSetVideoWindowPosition(0, v.top, v.width, v.height);
    if (PausedScreenPanel->isVisible()) {
      PlacePausedFrame(v.top, v.height, v.width);
      ScreenImage->update();
    }
  }
  // 3.
  if (Frame().CurrentProfile) {
    UpdateProfilePictureSize();
    RefreshValueLists();
  }
}

// The engine's operations are called from these places once the engine's
// window side is wired in.

void TLumivaultForm::EngineAttachWindow() {
  // Engine: SetEngineView(this); the graph's message window is this form and
  // the video owner Panel1; the initial video size is Panel1's inner size.
}

void TLumivaultForm::EngineRenderFile(const std::string&) {
  // Engine: build the graph for the file on its rendering thread, then play.
}

void TLumivaultForm::EngineSetVideoSize(int, int) {
  // Engine: the capture path's video size for the panel.
}

void TLumivaultForm::EngineSetVideoWindowPosition(int, int, int, int) {
  // Engine: IVideoWindow::SetWindowPosition on the graph's video window.
}

void TLumivaultForm::EngineMakeOutputFilename() {
  // Engine: MakeOutputFilename for the open source.
}

void TLumivaultForm::EngineRestoreVolume() {
  // Engine: full volume through SetVolume_Helper, waiting at most 800 ms.
}

void TLumivaultForm::EnginePlay() {
  // Engine: play.
}

void TLumivaultForm::PauseButtonClick() {
  // Engine: pause.
}

void TLumivaultForm::StopButtonClick() {
  // Engine: stop and reset to the beginning.
}

void TLumivaultForm::StartRecordingButtonClick() {
  // Control: the Convert button (also EncodeMenu).
}

void TLumivaultForm::PerformanceMonitorTimer() {
  // Control: one step of the 500 ms timer.
}

void TLumivaultForm::GraphNotify() {
  // Engine: the graph's event handler.
}

void TLumivaultForm::RecordProgress(WPARAM, LPARAM) {
  // Control: the progress line and bar, lParam -1 for a finished recording.
}

void TLumivaultForm::PositionRangeBarLowChange() {
  // Control: the low thumb's change handler (seek, start label).
}

void TLumivaultForm::PositionRangeBarHighChange() {
  // Control: the high thumb's change handler (stop point and its label).
}

void TLumivaultForm::PositionRangeBarMouseDown() {
  // Control: mouse down on the position bar (drag starts, time label frozen).
}

void TLumivaultForm::PositionRangeBarMouseUp() {
  // Control: mouse up on the position bar (the pending seek runs).
}

void TLumivaultForm::EngineStopRecording() {
  // Engine: stop the recording and finish the output file.
}

void TLumivaultForm::EnginePauseThenStop() {
  // Engine: pause, wait 200 ms, stop.
}

void TLumivaultForm::EngineEndRenderThread() {
  // Engine: ask the rendering thread to end; kill it on the second attempt ("quiting").
}

void TLumivaultForm::EngineTearDownGraph() {
  // Engine: tear down the playback graph.
}
