#include "app/window/output_setting_dlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

#include "core/frame_state.h"
#include "app/window/brightness_levels.h"
#include "app/window/output_config_group.h"
#include "app/window/output_panel_rules.h"
#include "app/window/save_file_dialog.h"
#include "settings/device_file_name.h"
#include "settings/settings.h"
#include "settings/settings_store.h"

namespace {

QSlider* TrackBar(const char* name, int min, int max, QWidget* parent) {
  auto* bar = new QSlider(Qt::Horizontal, parent);
  bar->setObjectName(name);
  bar->setRange(min, max);
  bar->setPageStep(1);
  bar->setSingleStep(1);
  bar->setTickPosition(QSlider::TicksBelow);
  bar->setTickInterval(1);
  return bar;
}
}  // namespace

bool OutputSettingFilter(int outputFormat, FileFilter* filter) {
  switch (outputFormat) {
    case 0: case 3: *filter = {"AVI", "avi"}; return true;
    case 1: *filter = {"WMV", "wmv"}; return true;
    case 2: *filter = {"MP4", "mp4"}; return true;
    case 6: *filter = {"3gp", "3gp"}; return true;
    default: return false;
  }
}

void CentreOnForm(QWidget* form, const QWidget* mainForm) {
  if (!mainForm) return;
  QRect main = mainForm->frameGeometry();
  QSize own = form->frameGeometry().size();
  form->move(main.left() + main.width() / 2 - own.width() / 2, main.top() + main.height() / 2 - own.height() / 2);
}

TOutputSettingDlg::TOutputSettingDlg(QWidget* mainForm) : QDialog(mainForm), mainForm_(mainForm) {
  setObjectName("OutputSettingDlg");
  setWindowTitle("Output Setting");
  setFixedSize(512, 343);

  auto* group = new QGroupBox("Settings", this);
  settingsGroup_ = group;
  auto* grid = new QGridLayout(group);
  // The check box captions are long for the dialog's fixed width: narrow margins.
  grid->setContentsMargins(8, 8, 6, 8);
  grid->setHorizontalSpacing(8);
  grid->setVerticalSpacing(6);

  grid->addWidget(new QLabel("Aspect Ratio:", group), 0, 0);
  AspectComboBox = new QComboBox(group);
  AspectComboBox->setObjectName("AspectComboBox");
  AspectComboBox->addItems({"Keep original aspect ratio", "Stretch 16:9 widescreen to 4:3 automatically"});
  AspectComboBox->setCurrentIndex(0);
  grid->addWidget(AspectComboBox, 0, 1, 1, 3);

  grid->addWidget(new QLabel("Audio Volume:", group), 1, 0);
  AudioVolumeTrackBar = TrackBar("AudioVolumeTrackBar", 1, 9, group);
  AudioVolumeTrackBar->setToolTip("default=5 (original volume)");
  grid->addWidget(AudioVolumeTrackBar, 1, 1, 1, 2);

  grid->addWidget(new QLabel("Video Brightness:", group), 2, 0);
  BrightnessTrackbar = TrackBar("BrightnessTrackbar", 0, 3, group);
  grid->addWidget(BrightnessTrackbar, 2, 1, 1, 2);
  BrightnessComment = new QLabel("(original)", group);
  BrightnessComment->setObjectName("BrightnessComment");
  grid->addWidget(BrightnessComment, 2, 3);

  auto* split = new QHBoxLayout;
  split->addWidget(new QLabel("Split output file for every ", group));
  SplitSize_Edit = new QLineEdit("10000", group);
  SplitSize_Edit->setObjectName("SplitSize_Edit");
  SplitSize_Edit->setFixedWidth(70);
  split->addWidget(SplitSize_Edit);
  split->addWidget(new QLabel("MB", group));
  split->addStretch();
  grid->addLayout(split, 3, 0, 1, 4);

  grid->addWidget(new QLabel("Output file name: ", group), 4, 0, 1, 4);
  OutputFileName_Edit = new QLineEdit(QDir::homePath() + "/Untitled.avi", group);
  OutputFileName_Edit->setObjectName("OutputFileName_Edit");
  grid->addWidget(OutputFileName_Edit, 5, 0, 1, 3);
  SpeedButton1 = new QPushButton("Browse folder  ...", group);
  SpeedButton1->setObjectName("SpeedButton1");
  grid->addWidget(SpeedButton1, 5, 3);

  ScreenSaver_CheckBox =
      new QCheckBox("Disable screensaver when recording (3D screensavers may slow down the computer)", group);
  ScreenSaver_CheckBox->setObjectName("ScreenSaver_CheckBox");
  // The longest caption of the dialog; a size smaller keeps it whole.
  QFont small = ScreenSaver_CheckBox->font();
  small.setPointSizeF(small.pointSizeF() * 0.92);
  ScreenSaver_CheckBox->setFont(small);
  grid->addWidget(ScreenSaver_CheckBox, 6, 0, 1, 4);
  Shutdown_CheckBox = new QCheckBox("Shutdown the computer when job is done", group);
  Shutdown_CheckBox->setObjectName("Shutdown_CheckBox");
  grid->addWidget(Shutdown_CheckBox, 7, 0, 1, 4);

  PSPVideoNumber_lbl = new QLabel("PSP Video Number:", group);
  PSPVideoNumber_lbl->setObjectName("PSPVideoNumber_lbl");
  grid->addWidget(PSPVideoNumber_lbl, 8, 0);
  TeSpinEdit1 = new QSpinBox(group);
  TeSpinEdit1->setObjectName("TeSpinEdit1");
  TeSpinEdit1->setRange(0, 99999);
  TeSpinEdit1->setFixedWidth(90);
  grid->addWidget(TeSpinEdit1, 8, 1);
  grid->setColumnStretch(2, 1);

  OKBtn = new QPushButton("OK", this);
  OKBtn->setObjectName("OKBtn");
  OKBtn->setDefault(true);
  CancelBtn = new QPushButton("Cancel", this);
  CancelBtn->setObjectName("CancelBtn");
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(OKBtn);
  buttons->addWidget(CancelBtn);
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(6, 6, 6, 8);
  outer->addWidget(group);
  outer->addLayout(buttons);

  connect(OKBtn, &QPushButton::clicked, this, &TOutputSettingDlg::OKBtnClick);
  connect(CancelBtn, &QPushButton::clicked, this, &TOutputSettingDlg::CancelBtnClick);
  connect(SpeedButton1, &QPushButton::clicked, this, &TOutputSettingDlg::SpeedButton1Click);
  connect(BrightnessTrackbar, &QSlider::valueChanged, this, &TOutputSettingDlg::BrightnessTrackbarChange);
  connect(AudioVolumeTrackBar, &QSlider::valueChanged, this, &TOutputSettingDlg::AudioVolumeTrackBarChange);
}

void TOutputSettingDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  FormShow();
}

void TOutputSettingDlg::FormShow() {
  const Settings& s = AppSettings();
  // 1.
  CentreOnForm(this, mainForm_);
  // 2.
  PSPVideoNumber_lbl->setVisible(true);
  TeSpinEdit1->setVisible(true);
  TeSpinEdit1->setValue(s.fileNumber);
  // 3, 4. Every control shows the value OK writes back, the aspect and
  // the split size too.
  AspectComboBox->setCurrentIndex(std::clamp(s.vcAspect, 0, AspectComboBox->count() - 1));
  SplitSize_Edit->setText(QString::number(s.volume));
  OutputFileName_Edit->setText(QString::fromStdString(Frame().GetOutputPath()));
  Shutdown_CheckBox->setChecked(s.shutdownWhenDone);
  ScreenSaver_CheckBox->setChecked(s.disableScreensaver != 0);
  // 5.
  {
    QSignalBlocker quiet(AudioVolumeTrackBar);
    AudioVolumeTrackBar->setValue(s.audioVolume);
  }
  // 6. The brightness handler runs once, whether the level moved or not.
  {
    QSignalBlocker quiet(BrightnessTrackbar);
    BrightnessTrackbar->setValue(BrightnessLevelForOffset(s.brightnessA));
  }
  BrightnessTrackbarChange();
}

void TOutputSettingDlg::BrightnessTrackbarChange() {
  int level = BrightnessTrackbar->value();
  BrightnessValues v = BrightnessForLevel(level);
  BrightnessComment->setText(QString::fromStdString(BrightnessCommentText(level)));
  Settings& s = AppSettings();
  s.brightnessA = v.offset;
  s.brightnessB = v.gain;
  WriteSettingInt(kOutputConfigGroup, "brightness_a", v.offset);
  WriteSettingReal(kOutputConfigGroup, "brightness_b", static_cast<double>(v.gain));
}

void TOutputSettingDlg::AudioVolumeTrackBarChange() { AppSettings().audioVolume = AudioVolumeTrackBar->value(); }

void TOutputSettingDlg::SpeedButton1Click() {
  OutputSettingFilter(Frame().OutputFormat, &browseFilter_);
  QString path = AskSaveFileName(this, OutputFileName_Edit->text().toStdString(), browseFilter_);
  if (!path.isEmpty()) OutputFileName_Edit->setText(path);
}

void TOutputSettingDlg::OKBtnClick() {
  Settings& s = AppSettings();
  // 1.
  s.vcAspect = AspectComboBox->currentIndex();
  WriteSettingInt(kOutputConfigGroup, "vc_aspect", s.vcAspect);
  // 2, 3.
  s.audioVolume = AudioVolumeTrackBar->value();
  s.shutdownWhenDone = Shutdown_CheckBox->isChecked();
  s.disableScreensaver = ScreenSaver_CheckBox->isChecked() ? 1 : 0;
  // 4, 5.
  s.volume = LeadingInt(SplitSize_Edit->text().toStdString());
  // A default name follows a new video number; a name the user chose stays.
  const int number = TeSpinEdit1->value();
  Frame().SetOutputPath(RenumberDeviceFileName(OutputFileName_Edit->text().toStdString(), s.fileNumber, number));
  // 6.
  WriteSettingInt(kOutputConfigGroup, "AudioVolume", s.audioVolume);
  WriteSettingInt(kOutputConfigGroup, "Volume", s.volume);
  WriteSettingText(kOutputConfigGroup, "LastOutput", Frame().GetOutputPath().c_str());
  WriteSettingInt(kOutputConfigGroup, "disable_screensaver", s.disableScreensaver);
  // 7.
  s.fileNumber = number;
  WriteSettingInt(kOutputConfigGroup, "file_number", s.fileNumber);
  // 8.
  done(1);
}

void TOutputSettingDlg::CancelBtnClick() { done(2); }

void TOutputSettingDlg::EnableEditing(bool enabled) {
  settingsGroup_->setEnabled(enabled);
  OKBtn->setEnabled(enabled);
}
