#pragma once
// TLumivaultForm, the main window: the video panel with its position bar
// and transport buttons on the left, the output panel ("Convert To:") on
// the right, the profile and output folder rows under the video, the
// progress bar and status line at the bottom. It owns the small forms, the
// message box helper and the process-wide frame state's window side, and
// it is the engine's view and the target of its posted messages.
#include <QWidget>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/engine_view.h"
#include "platform/core/messages.h"
#include "profiles/profile.h"

class QAction;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QMenuBar;
class QMimeData;
class QProgressBar;
class QPushButton;
class QStatusBar;
class QTimer;
class QtMessageDlg;
class RangeBar;
class TAskDefaultOutputFolder;
class TBlankScreen;
class TFinishedRecording;
class TOutputSettingDlg;
class TPromptAfterBlankScreen;
class TSaveProfileForm;
class TScreenImage;
class ValueListEditor;
class VideoPanel;

struct WindowOptions {
  std::string programFolder;      // where the profiles, help page and programs lie
  bool installMessageBox = true;  // tests answer ShowMessageDlg themselves
};

class TLumivaultForm : public QWidget, public MessageWindow, public EngineView {
  Q_OBJECT

 public:
  explicit TLumivaultForm(const WindowOptions& options, QWidget* parent = nullptr);
  ~TLumivaultForm() override;

  // Creates the small forms once, in the start-up order: TBlankScreen,
  // TPromptAfterBlankScreen, TFinishedRecording, TAskDefaultOutputFolder,
  // TSaveProfileForm, TTransferForm.
  void CreateSmallForms();

  // Components, each with its objectName.
  QMenuBar* MenuBar;
  QAction* menu_OpenVideoFile;
  QAction* menu_SetOutputPath;
  QAction* EncodeMenu;
  QAction* ExitMenu;
  QAction* menu_OutputSetting;
  QAction* CustomItem1;
  QAction* CustomItem2;
  QAction* menu_Seperator;
  QAction* menu_Transfer;
  QMenu* TePopupMenu1;
  QAction* popup_OpenFile;
  QAction* popup_BatchConvert;
  QAction* popup_SetOutputPath_menu;
  QFrame* BannerPanel;
  QLabel* TopStatusLabel;
  VideoPanel* Panel1;
  QLabel* Image1;
  QFrame* PausedScreenPanel;
  TScreenImage* ScreenImage = nullptr;
  QLabel* StartPoint_label;
  QLabel* EndPoint_label;
  QLabel* TimeLabel;
  RangeBar* PositionRangeBar;
  QPushButton* UseProfileSpeedBtn;
  QComboBox* ProfileCombo;
  QPushButton* SaveProfileBtn;
  QPushButton* MoreOptionsBtn;
  QPushButton* ShowOutputFolderSpeedBtn;
  QLineEdit* OutputFolderEdit;
  QPushButton* BrowseBtn;
  QLabel* TeLabel1;
  ValueListEditor* TimeValueList;
  ValueListEditor* VideoValueList;
  ValueListEditor* AudioValueList;
  QLabel* MBperMinLabel;
  QLabel* EstimatedSizeLabel;
  QPushButton* OpenDVDButton;
  QPushButton* StartRecordingButton;
  QPushButton* PlayButton;
  QPushButton* PauseButton;
  QPushButton* StopButton;
  QPushButton* SaveThumbnailBtn;
  QProgressBar* ProgressBar;
  QStatusBar* StatusBar;
  QLabel* ProgressStatus;
  QTimer* PerformanceMonitor;

  // The forms the window owns.
  TOutputSettingDlg* OutputSettingDlg = nullptr;
  TBlankScreen* BlankScreen = nullptr;
  TPromptAfterBlankScreen* PromptAfterBlankScreen = nullptr;
  TFinishedRecording* FinishedRecording = nullptr;
  TAskDefaultOutputFolder* AskDefaultOutputFolderForm = nullptr;
  TSaveProfileForm* SaveProfileForm = nullptr;
  QWidget* TransferForm = nullptr;

  // Window state.
  const std::vector<CProfile>& ProfileList() const { return profileList_; }
  double StretchFactor() const { return stretchFactor_; }
  int ThreeGpKind() const { return threeGpKind_; }
  const std::string& EncoderAudioFormat() const { return encoderAudioFormat_; }
  bool ValueListsLive() const { return valueListsLive_; }
  const std::string& SourcePath() const { return sourcePath_; }
  QRect PanelRect() const { return panelRect_; }

  // The engine reports the decoded source picture's size: the stretch is
  // worked out, the engine's video size set and a relayout posted. aspect is
  // the display aspect (width / height when 0).
  void SourceVideoSizeChanged(int width, int height, double aspect = 0);
  // Opens a source as the file dialog's choice does.
  void OpenVideoFile(const QString& path);

  // MessageWindow: any thread.
  void Post(UINT msg, WPARAM wParam, LPARAM lParam) override;

  // EngineView: user-interface thread.
  int PositionMax() override;
  void SetPositionMax(int seconds) override;
  int PositionLow() override;
  void SetPositionLow(int seconds) override;
  void MovePositionLow(int seconds) override;
  int PositionHigh() override;
  void SetPositionHigh(int seconds) override;
  bool IsDraggingPosition() override;
  void RunPositionHighChange() override;
  int PositionBarLeft() override;
  int PositionBarWidth() override;
  void SetTimeLabel(const std::string& text) override;
  void ShowStartPointLabel(const std::string& caption, int left) override;
  void ShowEndPointLabel(const std::string& caption, int right) override;
  void SetPointLabelsVisible(bool visible) override;
  void SetProgressStatus(const std::string& text) override;
  void ShowProgressLine(const std::string& figures, const std::string& outputPath) override;
  void SetProgressBar(int percent) override;
  void RefreshSizeEstimate() override;
  void ShowBanner(const std::string& text, long bannerColour, bool transition) override;
  void FocusVideoPanel() override;
  void SetBusyCursor(bool busy) override;
  void EnableSaveAsItems(bool enabled) override;
  void EnableOutputSettingsMenu(bool enabled) override;
  void EnableSourceButton(bool enabled) override;
  void EnableTransportButtons(bool enabled) override;
  void SetConvertCaption(const std::string& caption) override;
  void EnableConvertButton(bool enabled) override;
  void EnableThumbnailButton(bool enabled) override;
  void RefreshThumbnailArea() override;
  void ShowThumbnailGlyph(const std::string& bmpPath) override;
  void RepaintWindow() override;
  void HideStartLogo() override;
  void HidePausedFrame() override;
  void PlacePausedFrame(int top, int height, int width) override;
  void ShowPausedFrame() override;
  void ShowBlankScreen(bool visible) override;
  void ShowOptimizing(bool visible) override;
  void RunTimerStep() override;
  void AskDefaultOutputFolder() override;
  void ShowFinishedRecording() override;

 public slots:
  // Start-up and frame.
  void FormActivate();
  // The close procedure; false when the user kept the window open.
  bool FormClose();
  void ExitMenuClick();
  // Closes the window as a request to quit does (SIGINT, SIGTERM): no
  // question and no notice; a conversion under way is stopped and its
  // output finished, the window's place is saved.
  void QuitWithoutQuestions();
  void menu_OutputSettingClick();
  void MoreOptionsBtnClick();
  void menu_TransferClick();
  void CustomItem1Click();
  void CustomItem2Click();
  void popup_BatchConvertClick();

  // Source and transport.
  void OpenDVDButtonClick();
  void menu_OpenVideoFileClick();
  void popup_OpenFileClick();
  void PlayButtonClick();
  void VideoRelayout();

  // Output panel.
  void LoadProfiles();
  void ProfileComboChange();
  void RefreshValueLists();
  void UpdateEstimate();
  void UpdateProfilePictureSize();
  void TimeValueListChange();
  void VideoValueListChange();
  void AudioValueListChange();
  void SaveProfileBtnClick();
  void OutputFolderEditChange();
  void BrowseBtnClick();
  void ShowOutputFolderSpeedBtnClick();
  void menu_SetOutputPathClick();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private slots:
  // Handles the oldest message posted to the window.
  void DispatchPosted();

  // Connection points of the engine: each is where one engine operation is
  // called from the window.
  void EngineAttachWindow();
  void EngineRenderFile(const std::string& path);
  void EngineSetVideoSize(int width, int height);
  void EngineSetVideoWindowPosition(int left, int top, int width, int height);
  void EngineRestoreVolume();
  void EnginePlay();
  void PauseButtonClick();
  void StopButtonClick();
  void StartRecordingButtonClick();
  void PerformanceMonitorTimer();
  void GraphNotify();
  void RecordProgress(WPARAM wParam, LPARAM lParam);
  void PositionRangeBarLowChange();
  void PositionRangeBarHighChange();
  void PositionRangeBarMouseDown();
  void PositionRangeBarMouseUp();
  void EngineStopRecording();
  void EnginePauseThenStop();
  void EngineEndRenderThread();
  void EngineTearDownGraph();

 private:
  void BuildMenus();
  void BuildPlayer();
  void BuildOutputPanel();
  void BuildStatusArea();
  void ConnectHandlers();
  void FormCreate();
  void ConfigureValueLists();
  void HandleWindowMessage(UINT msg, WPARAM wParam, LPARAM lParam);
  // WM_VIDEO_RELAYOUT: takes the source picture's size and aspect from the
  // engine, then places the video.
  void TakeSourceVideo();
  // At destruction: the engine lets go of the window (the graph stops, a
  // recording still running is finished without the window).
  void DetachEngine();

  // Marks an engine operation started from the window. Its waits keep the
  // event loop turning, so while one runs the window's own entries into the
  // engine hold back: the timer step is skipped, graph events and a close
  // request wait until the operation has returned.
  class EngineCall {
   public:
    explicit EngineCall(TLumivaultForm& form) : form_(form) { ++form_.engineDepth_; }
    ~EngineCall();
    EngineCall(const EngineCall&) = delete;
    EngineCall& operator=(const EngineCall&) = delete;

   private:
    TLumivaultForm& form_;
  };
  bool InEngineCall() const { return engineDepth_ > 0; }
  bool CanOpenDropped(const QMimeData* mime) const;
  // The width of the source picture at its display aspect.
  int DisplayWidth() const;
  // Runs the stretch rule when the setting asks for it.
  void UpdateStretchFactor();
  // The output width of the selected profile, else of the settings.
  int OutputWidth() const;
  // The width the progress line has to show in, in pixels.
  int ProgressStatusRoom() const;

  // Messages posted from any thread, waiting for the window's thread.
  struct PostedMessage {
    UINT msg = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
  };
  std::mutex postedMutex_;  // guards posted_
  std::deque<PostedMessage> posted_;

  std::unique_ptr<QtMessageDlg> messageDlg_;
  bool messageDlgInstalled_ = false;
  QRect panelRect_;
  std::vector<CProfile> profileList_;
  bool valueListsLive_ = true;
  std::string encoderAudioFormat_;
  int threeGpKind_ = -1;
  double stretchFactor_ = 1.0;
  int sourceWidth_ = 0;
  int sourceHeight_ = 0;
  double displayAspect_ = 0;  // the source's display aspect, 0 before a source
  int engineDepth_ = 0;
  bool graphNotifyDeferred_ = false;
  bool closeDeferred_ = false;
  int renderCloseAttempts_ = 0;
  bool engineAttached_ = false;
  std::string sourcePath_;
  bool activatedOnce_ = false;
  bool busyCursor_ = false;
  bool saveAsAllowed_ = false;   // a source is open: "Save as ..." has a name to offer
  bool outputEditable_ = true;   // no conversion runs: the output may change
  bool quitting_ = false;        // closing on a request to quit: ask nothing
};

// The vendor's home page, when the URL\home setting is missing.
extern const char kDefaultHomePage[];
// The batch window's program, beside the main program.
extern const char kBatchConverterProgram[];
// The help page beside the program.
extern const char kHelpPage[];
// The name patterns of the video files people have ("*.mp4", "*.MP4", ...).
QStringList VideoFilePatterns();
// The open dialog's filters: the video files people have, then all files.
QString OpenVideoFilter();
