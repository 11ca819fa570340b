#include "app/window/lumivault_form.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>

#include "core/diag_log.h"
#include "core/frame_state.h"
#include "app/window/qt_message_dlg.h"
#include "app/window/range_bar.h"
#include "app/window/screen_image.h"
#include "app/window/value_list_editor.h"
#include "app/window/video_panel.h"
#include "platform/core/fpu.h"

namespace {
template <class T>
T* Named(T* object, const char* name) {
  object->setObjectName(name);
  return object;
}

QLabel* Label(const char* name, const QString& text, QWidget* parent) { return Named(new QLabel(text, parent), name); }

QAction* Item(const char* name, const QString& caption, QObject* parent) {
  return Named(new QAction(caption, parent), name);
}

QPushButton* Button(const char* name, const QString& text, QWidget* parent, const QRect& place) {
  QPushButton* button = Named(new QPushButton(text, parent), name);
  button->setGeometry(place);
  return button;
}

// A label-only speed button: flat, no frame until hovered.
QPushButton* SpeedButton(const char* name, const QString& text, QWidget* parent, const QRect& place) {
  QPushButton* button = Button(name, text, parent, place);
  button->setFlat(true);
  button->setStyleSheet("text-align: left; padding-left: 2px;");
  return button;
}
}  // namespace

TLumivaultForm::TLumivaultForm(const WindowOptions& options, QWidget* parent) : QWidget(parent) {
  setObjectName("LumivaultForm");
  setFixedSize(713, 520);
  setAcceptDrops(true);
  // Construction, before FormCreate: the program's folder, the floating-point
  // exceptions masked again, and the message box helper.
  Frame().ProgramFolder = options.programFolder;
  SetLogProgramFolder(options.programFolder);
  SetFpu53BitMasked();
  messageDlg_ = std::make_unique<QtMessageDlg>(this);
  if (options.installMessageBox) {
    SetMessageDlgHandler(messageDlg_.get());
    messageDlgInstalled_ = true;
  }

  BuildMenus();
  BuildPlayer();
  BuildOutputPanel();
  BuildStatusArea();
  ConnectHandlers();
  FormCreate();
}

TLumivaultForm::~TLumivaultForm() {
  DetachEngine();
  Frame().CurrentProfile = nullptr;
  if (messageDlgInstalled_) SetMessageDlgHandler(nullptr);
  if (busyCursor_) QGuiApplication::restoreOverrideCursor();
}

void TLumivaultForm::BuildMenus() {
  MenuBar = new QMenuBar(this);
  MenuBar->setObjectName("MenuBar");
  MenuBar->setNativeMenuBar(false);
  MenuBar->setGeometry(0, 0, 713, 21);

  menu_OpenVideoFile = Item("menu_OpenVideoFile", "Open Video File ...", this);
  menu_SetOutputPath = Item("menu_SetOutputPath", "Save as ...", this);
  menu_SetOutputPath->setEnabled(false);
  EncodeMenu = Item("EncodeMenu", "Record it", this);
  ExitMenu = Item("ExitMenu", "Exit", this);
  QMenu* file = MenuBar->addMenu("File");
  file->setObjectName("FileMenu");
  file->addActions({menu_OpenVideoFile, menu_SetOutputPath, EncodeMenu});
  file->addSeparator();
  file->addAction(ExitMenu);

  menu_OutputSetting = Item("menu_OutputSetting", "Output Settings ...", this);
  QMenu* options = MenuBar->addMenu("Options");
  options->setObjectName("OptionsMenu");
  options->addAction(menu_OutputSetting);

  CustomItem1 = Item("CustomItem1", "Manual", this);
  CustomItem2 = Item("CustomItem2", "Website", this);
  QMenu* help = MenuBar->addMenu("Help");
  help->setObjectName("HelpMenu");
  help->addActions({CustomItem1, CustomItem2});

  menu_Seperator = Item("menu_Seperator", "|", this);
  menu_Seperator->setEnabled(false);
  menu_Seperator->setVisible(false);
  menu_Transfer = Item("menu_Transfer", "PSP Video Transfer", this);
  menu_Transfer->setVisible(false);
  MenuBar->addAction(menu_Seperator);
  MenuBar->addAction(menu_Transfer);

  TePopupMenu1 = new QMenu(this);
  TePopupMenu1->setObjectName("TePopupMenu1");
  popup_OpenFile = Item("popup_OpenFile", "Open File ...", this);
  popup_BatchConvert = Item("popup_BatchConvert", "Batch Convert Video Files", this);
  popup_SetOutputPath_menu = Item("popup_SetOutputPath_menu", "Save as ...", this);
  popup_SetOutputPath_menu->setEnabled(false);
  TePopupMenu1->addActions({popup_OpenFile, popup_BatchConvert});
  TePopupMenu1->addSeparator();
  TePopupMenu1->addAction(popup_SetOutputPath_menu);
}

void TLumivaultForm::BuildPlayer() {
  BannerPanel = new QFrame(this);
  BannerPanel->setObjectName("BannerPanel");
  BannerPanel->setGeometry(15, 31, 469, 17);
  BannerPanel->setAutoFillBackground(true);
  QPalette banner = BannerPanel->palette();
  banner.setColor(QPalette::Window, QColor(0xC0, 0xC0, 0xC0));
  BannerPanel->setPalette(banner);
  TopStatusLabel = Label("TopStatusLabel", "Video Panel", BannerPanel);
  TopStatusLabel->setGeometry(0, 0, 469, 17);
  TopStatusLabel->setAlignment(Qt::AlignCenter);
  TopStatusLabel->hide();

  Panel1 = new VideoPanel(this);
  Panel1->setGeometry(15, 48, 469, 352);
  Panel1->SetMessageTarget(this);
  Image1 = Panel1->StartPicture();

  PausedScreenPanel = new QFrame(this);
  PausedScreenPanel->setObjectName("PausedScreenPanel");
  PausedScreenPanel->setGeometry(Panel1->geometry());
  PausedScreenPanel->setFrameStyle(QFrame::Box | QFrame::Plain);
  PausedScreenPanel->setAutoFillBackground(true);
  PausedScreenPanel->setPalette(Panel1->palette());
  PausedScreenPanel->hide();

  QFont small = font();
  small.setPointSizeF(small.pointSizeF() * 0.85);
  StartPoint_label = Label("StartPoint_label", "<-0:00:00", this);
  EndPoint_label = Label("EndPoint_label", "0:00:00->", this);
  for (QLabel* l : {StartPoint_label, EndPoint_label}) {
    l->setFont(small);
    l->setGeometry(15, 400, 120, 13);
    l->hide();
  }
  TimeLabel = Label("TimeLabel", "0:00:00 of [0:00:00] ", this);
  TimeLabel->setFont(small);
  TimeLabel->setGeometry(386, 399, 110, 13);

  PositionRangeBar = new RangeBar(this);
  PositionRangeBar->setGeometry(7, 412, 485, 17);

  QStyle* st = style();
  PlayButton = Button("PlayButton", QString(), this, QRect(499, 402, 20, 18));
  PlayButton->setIcon(st->standardIcon(QStyle::SP_MediaPlay));
  PlayButton->setToolTip("Play");
  PauseButton = Button("PauseButton", QString(), this, QRect(521, 402, 20, 18));
  PauseButton->setIcon(st->standardIcon(QStyle::SP_MediaPause));
  PauseButton->setToolTip("Pause");
  StopButton = Button("StopButton", QString(), this, QRect(543, 402, 20, 18));
  StopButton->setIcon(st->standardIcon(QStyle::SP_MediaStop));
  StopButton->setToolTip("Stop & Reset to the very beginning");
  for (QPushButton* b : {PlayButton, PauseButton, StopButton}) b->setIconSize(QSize(12, 12));

  OpenDVDButton = Button("OpenDVDButton", "Open", this, QRect(498, 349, 100, 36));
  StartRecordingButton = Button("StartRecordingButton", "Convert", this, QRect(608, 349, 92, 36));
  QFont bold = StartRecordingButton->font();
  bold.setBold(true);
  StartRecordingButton->setFont(bold);
  SaveThumbnailBtn = Button("SaveThumbnailBtn", QString(), this, QRect(620, 424, 37, 36));
  SaveThumbnailBtn->setIconSize(QSize(32, 24));
  SaveThumbnailBtn->setToolTip("Save the current frame as video thumbnail");
  SaveThumbnailBtn->setEnabled(false);
  SaveThumbnailBtn->hide();
}

void TLumivaultForm::BuildOutputPanel() {
  UseProfileSpeedBtn = SpeedButton("UseProfileSpeedBtn", "Use profile", this, QRect(11, 432, 76, 24));
  ProfileCombo = new QComboBox(this);
  ProfileCombo->setObjectName("ProfileCombo");
  ProfileCombo->setGeometry(89, 432, 214, 24);
  ProfileCombo->setMaxVisibleItems(16);
  SaveProfileBtn = Button("SaveProfileBtn", "Save as ...", this, QRect(310, 432, 84, 24));
  MoreOptionsBtn = Button("MoreOptionsBtn", "More options ...", this, QRect(398, 432, 94, 24));

  ShowOutputFolderSpeedBtn = SpeedButton("ShowOutputFolderSpeedBtn", "Output folder", this, QRect(11, 462, 76, 24));
  OutputFolderEdit = new QLineEdit(QDir::homePath() + "/", this);
  OutputFolderEdit->setObjectName("OutputFolderEdit");
  OutputFolderEdit->setGeometry(89, 462, 302, 24);
  BrowseBtn = Button("BrowseBtn", "Browse ...", this, QRect(398, 462, 94, 24));

  TeLabel1 = Label("TeLabel1", "Convert To:", this);
  TeLabel1->setGeometry(499, 30, 201, 17);
  TimeValueList = new ValueListEditor("Time", this);
  TimeValueList->setObjectName("TimeValueList");
  TimeValueList->setGeometry(499, 48, 201, 59);
  TimeValueList->SetKeys({"Duration", "Start"});
  VideoValueList = new ValueListEditor("Video", this);
  VideoValueList->setObjectName("VideoValueList");
  VideoValueList->setGeometry(499, 106, 201, 97);
  VideoValueList->SetKeys({"Codec", "Size", "Bitrate", "FPS"});
  AudioValueList = new ValueListEditor("Audio", this);
  AudioValueList->setObjectName("AudioValueList");
  AudioValueList->setGeometry(499, 202, 201, 97);
  AudioValueList->SetKeys({"Codec", "Bitrate", "Sampling", "Channels"});
  MBperMinLabel = Label("MBperMinLabel", "About ? MB per minute", this);
  MBperMinLabel->setGeometry(499, 306, 201, 17);
  EstimatedSizeLabel = Label("EstimatedSizeLabel", "Estimated Size:", this);
  EstimatedSizeLabel->setGeometry(499, 323, 201, 17);
}

void TLumivaultForm::BuildStatusArea() {
  ProgressBar = new QProgressBar(this);
  ProgressBar->setObjectName("ProgressBar");
  ProgressBar->setGeometry(0, 495, 713, 6);
  ProgressBar->setRange(0, 100);
  ProgressBar->setValue(0);
  ProgressBar->setTextVisible(false);
  StatusBar = new QStatusBar(this);
  StatusBar->setObjectName("StatusBar");
  StatusBar->setGeometry(0, 502, 713, 18);
  StatusBar->setSizeGripEnabled(false);
  ProgressStatus = Label("ProgressStatus", QString(), StatusBar);
  StatusBar->addWidget(ProgressStatus, 1);
  PerformanceMonitor = new QTimer(this);
  PerformanceMonitor->setObjectName("PerformanceMonitor");
  PerformanceMonitor->setInterval(500);
}

void TLumivaultForm::ConnectHandlers() {
  connect(ExitMenu, &QAction::triggered, this, &TLumivaultForm::ExitMenuClick);
  connect(menu_OutputSetting, &QAction::triggered, this, &TLumivaultForm::menu_OutputSettingClick);
  connect(MoreOptionsBtn, &QPushButton::clicked, this, &TLumivaultForm::MoreOptionsBtnClick);
  connect(menu_Transfer, &QAction::triggered, this, &TLumivaultForm::menu_TransferClick);
  connect(CustomItem1, &QAction::triggered, this, &TLumivaultForm::CustomItem1Click);
  connect(CustomItem2, &QAction::triggered, this, &TLumivaultForm::CustomItem2Click);
  connect(popup_BatchConvert, &QAction::triggered, this, &TLumivaultForm::popup_BatchConvertClick);

  connect(OpenDVDButton, &QPushButton::clicked, this, &TLumivaultForm::OpenDVDButtonClick);
  connect(menu_OpenVideoFile, &QAction::triggered, this, &TLumivaultForm::menu_OpenVideoFileClick);
  connect(popup_OpenFile, &QAction::triggered, this, &TLumivaultForm::popup_OpenFileClick);
  connect(PlayButton, &QPushButton::clicked, this, &TLumivaultForm::PlayButtonClick);
  connect(PauseButton, &QPushButton::clicked, this, &TLumivaultForm::PauseButtonClick);
  connect(StopButton, &QPushButton::clicked, this, &TLumivaultForm::StopButtonClick);
  connect(StartRecordingButton, &QPushButton::clicked, this, &TLumivaultForm::StartRecordingButtonClick);
  connect(EncodeMenu, &QAction::triggered, this, &TLumivaultForm::StartRecordingButtonClick);
  connect(PerformanceMonitor, &QTimer::timeout, this, &TLumivaultForm::PerformanceMonitorTimer);

  connect(ProfileCombo, &QComboBox::activated, this, &TLumivaultForm::ProfileComboChange);
  connect(TimeValueList, &ValueListEditor::valueChanged, this, &TLumivaultForm::TimeValueListChange);
  connect(VideoValueList, &ValueListEditor::valueChanged, this, &TLumivaultForm::VideoValueListChange);
  connect(AudioValueList, &ValueListEditor::valueChanged, this, &TLumivaultForm::AudioValueListChange);
  connect(SaveProfileBtn, &QPushButton::clicked, this, &TLumivaultForm::SaveProfileBtnClick);
  connect(OutputFolderEdit, &QLineEdit::textChanged, this, &TLumivaultForm::OutputFolderEditChange);
  connect(BrowseBtn, &QPushButton::clicked, this, &TLumivaultForm::BrowseBtnClick);
  connect(ShowOutputFolderSpeedBtn, &QPushButton::clicked, this, &TLumivaultForm::ShowOutputFolderSpeedBtnClick);
  connect(menu_SetOutputPath, &QAction::triggered, this, &TLumivaultForm::menu_SetOutputPathClick);
  connect(popup_SetOutputPath_menu, &QAction::triggered, this, &TLumivaultForm::menu_SetOutputPathClick);

  connect(PositionRangeBar, &RangeBar::lowChanged, this, &TLumivaultForm::PositionRangeBarLowChange);
  connect(PositionRangeBar, &RangeBar::highChanged, this, &TLumivaultForm::PositionRangeBarHighChange);
  connect(PositionRangeBar, &RangeBar::mouseDown, this, &TLumivaultForm::PositionRangeBarMouseDown);
  connect(PositionRangeBar, &RangeBar::mouseUp, this, &TLumivaultForm::PositionRangeBarMouseUp);
}

void TLumivaultForm::Post(UINT msg, WPARAM wParam, LPARAM lParam) {
  {
    std::lock_guard<std::mutex> lock(postedMutex_);
    posted_.push_back({msg, wParam, lParam});
  }
  // One queued call per message, so that each is its own event of the
  // window's thread, in the order posted.
  QMetaObject::invokeMethod(this, "DispatchPosted", Qt::QueuedConnection);
}

void TLumivaultForm::DispatchPosted() {
  PostedMessage m;
  {
    std::lock_guard<std::mutex> lock(postedMutex_);
    if (posted_.empty()) return;
    m = posted_.front();
    posted_.pop_front();
  }
  HandleWindowMessage(m.msg, m.wParam, m.lParam);
}

void TLumivaultForm::HandleWindowMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_GRAPHNOTIFY: GraphNotify(); break;
    case WM_VIDEO_RELAYOUT: TakeSourceVideo(); break;
    case WM_RECORD_PROGRESS: RecordProgress(wParam, lParam); break;
    default: break;
  }
}
