// The main window's start-up, first activation, close procedure, frame
// menu commands, source and transport handlers, and the video layout.
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "app/control/recording_control.h"
#include "core/diag_log.h"
#include "core/frame_state.h"
#include "core/message_dlg.h"
#include "app/window/ask_default_output_folder.h"
#include "app/window/dvd_filter_listing.h"
#include "app/window/finished_recording.h"
#include "app/window/lumivault_form.h"
#include "app/window/output_panel_rules.h"
#include "app/window/output_setting_dlg.h"
#include "app/window/qt_message_dlg.h"
#include "app/window/range_bar.h"
#include "app/window/save_profile_form.h"
#include "app/window/screen_covers.h"
#include "app/window/screen_image.h"
#include "app/window/shell_open.h"
#include "app/window/tooltip_timing.h"
#include "app/window/value_list_editor.h"
#include "app/window/video_geometry.h"
#include "app/window/video_panel.h"
#include "engine/capture_frames.h"
#include "engine/engine_state.h"
#include "engine/graph_builder.h"
#include "engine/playback.h"
#include "engine/recording.h"
#include "engine/sync_state.h"
#include "platform/core/messages.h"
#include "platform/core/paths.h"
#include "platform/sysinfo/environment_checks.h"
#include "settings/settings.h"
#include "settings/settings_store.h"
#include "transfer/ui/transfer_form.h"

const char kDefaultHomePage[] = "https://www.corvane.example/";
const char kBatchConverterProgram[] = "corvane-batch";
const char kHelpPage[] = "help.html";

QStringList VideoFilePatterns() {
  static const char* const kExtensions[] = {"mp4", "m4v",  "mkv", "mov", "webm", "avi", "wmv", "asf", "mpg",
                                            "mpeg", "m2v", "vob", "ts",  "mts",  "m2ts", "3gp", "3g2", "flv",
                                            "ogv", "ogg",  "divx", "xvid", "dv",  "rm",   "rmvb", "dat"};
  // Names are matched as written: cameras write ".MP4" and ".MTS".
  QStringList patterns;
  for (const char* ext : kExtensions) patterns << QString("*.") + ext << QString("*.") + QString(ext).toUpper();
  return patterns;
}

QString OpenVideoFilter() { return "Video files (" + VideoFilePatterns().join(' ') + ");;All files (*)"; }

namespace {
void ShowOpenFailure() { ShowMessageDlg("Error opening URL", MsgKind::Error, mbOK); }

// The first local file of a drag, or nothing.
QString DraggedFile(const QMimeData* mime) {
  if (!mime) return QString();
  for (const QUrl& url : mime->urls())
    if (url.isLocalFile()) return url.toLocalFile();
  return QString();
}
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
  EngineCall call(*this);
  FrameState& f = Frame();
  // 1. A recording under way is stopped only when the user says so (a
  // request to quit says so for the user).
  if (f.IsRecording) {
    if (!quitting_ && ShowMessageDlg("Stop recording?\n", MsgKind::Confirmation, mbYes | mbNo) != mrYes) {
      EnginePlay();
      return false;
    }
    WriteLog("FormClose, stop recording");
    // The first of two passes writes no sound: its file is ended as it
    // stands, and no second pass starts on a graph about to go.
    if (f.PassCount == 2 && f.CurrentPass == 1) AbortRecording();
    else EngineStopRecording();
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
  // A close that comes while an engine operation waits runs once it has
  // returned.
  if (InEngineCall()) {
    closeDeferred_ = true;
    event->ignore();
    return;
  }
  if (FormClose()) event->accept();
  else event->ignore();
}

void TLumivaultForm::QuitWithoutQuestions() {
  quitting_ = true;
  // A box or dialog that waits for the user is cancelled first; the close
  // then runs once whatever the engine was doing has returned.
  for (int i = 0; i < 8; ++i) {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || modal == this) break;
    if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
    else modal->close();
  }
  close();
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
  // The batch window is a program of its own (the engine runs one
  // conversion per process), beside this one in the programs' folder.
  if (!StartProgram(JoinPath(ExecutableFolder(), kBatchConverterProgram))) {
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
  QString path = QFileDialog::getOpenFileName(this, QString(), QString(), OpenVideoFilter());
  if (path.isEmpty()) return;
  OpenVideoFile(path);
}

void TLumivaultForm::popup_OpenFileClick() { menu_OpenVideoFileClick(); }

// A file dropped on the window opens as a chosen one does, while another
// may be opened at all (not during a conversion or a build).
bool TLumivaultForm::CanOpenDropped(const QMimeData* mime) const {
  return OpenDVDButton->isEnabled() && !InEngineCall() && !DraggedFile(mime).isEmpty();
}

void TLumivaultForm::dragEnterEvent(QDragEnterEvent* event) {
  if (CanOpenDropped(event->mimeData())) event->acceptProposedAction();
}

void TLumivaultForm::dropEvent(QDropEvent* event) {
  if (!CanOpenDropped(event->mimeData())) return;
  const QString path = DraggedFile(event->mimeData());
  event->acceptProposedAction();
  // The drag's source waits for this event; the file opens from the loop.
  QTimer::singleShot(0, this, [this, path] { OpenVideoFile(path); });
}

void TLumivaultForm::OpenVideoFile(const QString& path) {
  sourcePath_ = path.toStdString();
  WriteLog("Rendering %s", sourcePath_.c_str());
  Panel1->ClearFrame();
  EngineRenderFile(sourcePath_);
  EnableSaveAsItems(true);
}

void TLumivaultForm::PlayButtonClick() {
  EngineCall call(*this);
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
    stretchFactor_ = AutoStretchFactor(OutputWidth(), DisplayWidth(), sourceHeight_, Frame().CropRect);
}

void TLumivaultForm::SourceVideoSizeChanged(int width, int height, double aspect) {
  sourceWidth_ = width;
  sourceHeight_ = height;
  if (width <= 0 || height <= 0) return;
  displayAspect_ = aspect > 0 ? aspect : static_cast<double>(width) / height;
  UpdateStretchFactor();
  int inner = panelRect_.width();
  EngineSetVideoSize(inner, VideoHeightForAspect(inner, displayAspect_, stretchFactor_));
  Post(WM_VIDEO_RELAYOUT, 0, 0);
}

int TLumivaultForm::DisplayWidth() const {
  return displayAspect_ > 0 ? static_cast<int>(std::lround(sourceHeight_ * displayAspect_)) : sourceWidth_;
}

void TLumivaultForm::TakeSourceVideo() {
  // Only a built graph has a picture size to tell; without one the window
  // keeps what it was told last.
  if (Graph().pGB) {
    int width = 0, height = 0;
    {
      CritSecLock lock(CaptureLock());
      const VideoFormatState& v = CaptureFrames().video;
      width = std::abs(v.SourceWidth);
      height = std::abs(v.SourceHeight);
    }
    const double aspect = Engine().VideoAspect;
    if (width > 0 && height > 0 && (width != sourceWidth_ || height != sourceHeight_ || aspect != displayAspect_)) {
      sourceWidth_ = width;
      sourceHeight_ = height;
      displayAspect_ = aspect > 0 ? aspect : static_cast<double>(width) / height;
      UpdateStretchFactor();
      const int inner = panelRect_.width();
      EngineSetVideoSize(inner, VideoHeightForAspect(inner, displayAspect_, stretchFactor_));
    }
  }
  VideoRelayout();
}

void TLumivaultForm::VideoRelayout() {
  // 1.
  UpdateStretchFactor();
  // 2. The placement follows the picture as it is shown: its display aspect.
  if (sourceWidth_ > 0 && sourceHeight_ > 0) {
    VideoPlacement v = PlaceVideo(panelRect_.width(), panelRect_.height(), DisplayWidth(), sourceHeight_,
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

TLumivaultForm::EngineCall::~EngineCall() {
  if (--form_.engineDepth_ > 0) return;
  // What waited for the operation runs now, from the event loop.
  if (form_.graphNotifyDeferred_) {
    form_.graphNotifyDeferred_ = false;
    form_.Post(WM_GRAPHNOTIFY, 0, 0);
  }
  if (form_.closeDeferred_) {
    form_.closeDeferred_ = false;
    QTimer::singleShot(0, &form_, [form = &form_] { form->close(); });
  }
}

void TLumivaultForm::EngineAttachWindow() {
  SetEngineView(this);
  SetEngineWindows(this, Panel1, Panel1->width() - 2, Panel1->height() - 2);
  // The engine's waits and its "process pending messages" keep timers and
  // repaints going. User input waits until the operation has returned, so
  // no button can start another one half-way through it.
  auto pump = [this] {
    EngineCall call(*this);
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  };
  SetPendingMessagePump(pump);
  SetWaitPump(pump);
  messageDlg_->SetCrossThreadScope([this](const std::function<void()>& show) {
    EngineCall call(*this);
    show();
  });
  engineAttached_ = true;
}

void TLumivaultForm::DetachEngine() {
  if (!engineAttached_) return;
  engineAttached_ = false;
  SetPendingMessagePump({});
  SetWaitPump({});
  SetEngineView(nullptr);
  // Without the close procedure (a window destroyed by its owner) a
  // recording still ends with a whole file, and the renderer stops
  // presenting to the panel before the panel goes.
  if (Frame().IsRecording) StopRecording();
  if (IVideoWindow* w = Graph().pVideoWindow) w->put_Owner(0);
  if (Graph().pGB) CloseDVDVolume();
  JoinWorkerThread();
  SetEngineWindows(nullptr, nullptr, 0, 0);
}

void TLumivaultForm::EngineRenderFile(const std::string& path) {
  EngineCall call(*this);
  SetSourceFile(path);
  RenderSource();
  Play();
  TakeSourceVideo();
}

void TLumivaultForm::EngineSetVideoSize(int width, int height) {
  // The relayout that follows places it; the size is known from here on.
  if (IVideoWindow* w = Graph().pVideoWindow) w->SetWindowPosition(0, 0, width, height);
}

void TLumivaultForm::EngineSetVideoWindowPosition(int left, int top, int width, int height) {
  if (IVideoWindow* w = Graph().pVideoWindow) w->SetWindowPosition(left, top, width, height);
}

void TLumivaultForm::EngineRestoreVolume() {
  if (Graph().pBasicAudio) SetVolume(0);
}

void TLumivaultForm::EnginePlay() {
  EngineCall call(*this);
  Play();
}

void TLumivaultForm::PauseButtonClick() {
  EngineCall call(*this);
  Pause();
}

void TLumivaultForm::StopButtonClick() {
  EngineCall call(*this);
  Stop();
  // The graph is back at its beginning; the bar and the time label say so
  // (the timer only follows a playing graph).
  if (Frame().PlaybackState == 0 && !Engine().bStopTimedOut && Graph().pMediaPosition) {
    ShowPosition(0);
    ShowTimeOf(0);
  }
}

void TLumivaultForm::StartRecordingButtonClick() {
  EngineCall call(*this);
  ::StartRecordingButtonClick();
}

void TLumivaultForm::PerformanceMonitorTimer() {
  // A tick that comes while an engine operation waits is skipped; the next
  // one is 500 ms away.
  if (InEngineCall()) return;
  EngineCall call(*this);
  ::PerformanceMonitorTimer();
}

void TLumivaultForm::GraphNotify() {
  if (InEngineCall()) {
    graphNotifyDeferred_ = true;
    return;
  }
  EngineCall call(*this);
  HandleGraphEvents();
}

void TLumivaultForm::RecordProgress(WPARAM wParam, LPARAM lParam) { OnRecordProgress(wParam, lParam); }

void TLumivaultForm::EngineStopRecording() { StopRecording(); }

void TLumivaultForm::EnginePauseThenStop() {
  Pause();
  SleepPumping(200);
  Stop();
}

void TLumivaultForm::EngineEndRenderThread() {
  if (Engine().RenderState == 0) {
    // The first close request leaves the rendering to finish by itself; a
    // rendering thread cannot be killed, so the second one waits for it.
    if (++renderCloseAttempts_ < 2) return;
    JoinWorkerThread();
    WriteLog("quiting");
    return;
  }
  JoinWorkerThread();
}

void TLumivaultForm::EngineTearDownGraph() { CloseDVDVolume(); }
