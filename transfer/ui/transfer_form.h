#pragma once
// The transfer window: a folder of the computer on the left, the video folder
// of the handheld player's memory stick on the right, copy and delete in both
// directions (thumbnails go along), the stick's space as a pie, and the title
// stored in an MP4 file. The main window creates it once and shows it
// without waiting:
//
//   transferForm = new TTransferForm(mainWindow);
//   transferForm->show(); transferForm->raise(); transferForm->activateWindow();
#include <QString>
#include <QWidget>

#include <functional>
#include <string>
#include <vector>

#include "platform/drives/drives.h"
#include "transfer/psp_device.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPieSeries;
class QChartView;
class QRadioButton;
class QToolButton;
class QPushButton;
class MountWatcher;
class TTeMyShellListView;

class TTransferForm : public QWidget {
  Q_OBJECT
 public:
  explicit TTransferForm(QWidget* parent = nullptr);
  ~TTransferForm() override;

  // Components, named as designed (each is also its objectName).
  QWidget* TePanel1;
  QRadioButton* Mpeg4_radio;
  QRadioButton* H264_radio;
  QCheckBox* HideThumbnail;
  QLabel* TeLabel1;
  QLineEdit* TeDirectoryEdit1;
  TTeMyShellListView* TeShellListView1;
  QToolButton* btnTransfer;
  QToolButton* btnTransferBack;
  QToolButton* btnDel;
  QToolButton* btnRefresh;
  QWidget* TePanel2;
  QPushButton* btnDetectPSP;
  QLabel* TeLabel3;
  QComboBox* PSPDriveCombo;
  QChartView* Chart1;
  QPieSeries* Series1;
  TTeMyShellListView* TeShellListView2;
  QLabel* TeLabel4;
  QLineEdit* TitleEdit_Filename;
  QLabel* TeLabel5;
  QLineEdit* TitleEdit;
  QPushButton* TitleApplyButton;

  VideoKind CurrentVideoKind() const { return videoKind_; }
  bool DevicePresent() const { return devicePresent_; }
  // The volumes behind the drive list, in its order.
  const std::vector<Volume>& DriveVolumes() const { return volumes_; }
  // Watches the mount table while the window is shown.
  const MountWatcher* MountTableWatcher() const { return mountWatcher_; }

 public slots:
  void FormShow();
  void FormResize();
  void TeDirectoryEdit1Change();
  void btnDetectPSPClick();
  void PSPDriveComboChange();
  void btnTransferClick();
  void btnTransferBackClick();
  void btnDelClick();
  void btnRefreshClick();
  void Mpeg4_radioClick();
  void H264_radioClick();
  void HideThumbnailClick();
  void TitleApplyButtonClick();

 public:
  bool TeShellListView1AddFolder(const QString& path, bool isFolder);
  bool TeShellListView2AddFolder(const QString& path, bool isFolder);
  bool TeShellListView1DragOver(QObject* source);
  bool TeShellListView2DragOver(QObject* source);
  void TeShellListView1DragDrop(QObject* source);
  void TeShellListView2DragDrop(QObject* source);
  void TeShellListView1SelectItem(const QString& path, bool selected);
  void TeShellListView2SelectItem(const QString& path, bool selected);
  void TeShellListView1KeyDown(int key);
  void TeShellListView2KeyDown(int key);
  void FillPie();
  void FillEmpty();
  void UpdateTitleEdit(TTeMyShellListView* list, const QString& path, bool selected);

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void BuildPanels();
  void BuildTitleRow();
  void ConnectHandlers();
  void SetVideoKind(VideoKind kind);
  void RebuildDriveList();
  int DetectPSP();
  void ShowFallbackFolder();
  void ListRootChanged();
  QString SelectedDriveRoot() const;
  void ShowDriveFolder();
  void CopyBetween(TTeMyShellListView* from, TTeMyShellListView* to);
  void DeleteFocusedList();
  void DeleteSelected(TTeMyShellListView* list, bool withThumbnails, bool ask);
  void EnableTitleControls(bool on);
  void LimitTitleLength();
  void ChangeTitle(const std::string& path, const QString& title);
  void MountTableChanged();
  // Runs an operation that may wait for the user or a thread: a mount
  // change meanwhile is handled once it has ended.
  void RunBusy(const std::function<void()>& operation);

  VideoKind videoKind_ = kMpeg4Video;
  bool devicePresent_ = false;
  bool driveListReady_ = true;
  bool shownBefore_ = false;
  std::vector<Volume> volumes_;
  QString selectedMp4_;                          // file of the title controls
  TTeMyShellListView* selectedList_ = nullptr;  // and the list it was picked in
  QString shownTitle_;                           // the title the edit was filled with
  MountWatcher* mountWatcher_ = nullptr;
  bool busy_ = false;               // a copy, delete or title change is running
  bool detectWhenIdle_ = false;     // the mount table changed meanwhile
  QWidget* titleRow_ = nullptr;
  QLabel* pieLegend_ = nullptr;  // the slices of Series1 with their values
};
