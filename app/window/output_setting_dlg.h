#pragma once
// TOutputSettingDlg ("Output Setting"): the recording options that are not
// part of a profile. Shown without waiting from the menu and modally from
// "More options ..."; created once and reused.
#include <QDialog>

#include "app/window/output_panel_rules.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QSlider;
class QSpinBox;
class QPushButton;

class TOutputSettingDlg : public QDialog {
  Q_OBJECT

 public:
  // mainForm: the window the dialog centres on.
  explicit TOutputSettingDlg(QWidget* mainForm);

  QComboBox* AspectComboBox;
  QSlider* AudioVolumeTrackBar;
  QSlider* BrightnessTrackbar;
  QLabel* BrightnessComment;
  QLineEdit* SplitSize_Edit;
  QLineEdit* OutputFileName_Edit;
  QPushButton* SpeedButton1;
  QCheckBox* ScreenSaver_CheckBox;
  QCheckBox* Shutdown_CheckBox;
  QLabel* PSPVideoNumber_lbl;
  QSpinBox* TeSpinEdit1;
  QPushButton* OKBtn;
  QPushButton* CancelBtn;

 public slots:
  void FormShow();
  void OKBtnClick();
  void CancelBtnClick();
  void SpeedButton1Click();
  void BrightnessTrackbarChange();
  void AudioVolumeTrackBarChange();
  // Escape and the title bar's close button act as Cancel.
  void reject() override { CancelBtnClick(); }

  // While a conversion runs the dialog (left open from before) shows the
  // settings but changes none of them: only Cancel is left.
  void EnableEditing(bool enabled);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QWidget* mainForm_;
  QWidget* settingsGroup_;
  FileFilter browseFilter_{"AVI", "avi"};  // formats without a filter of their own keep the last one
};

// The save dialog's filter of the output settings dialog for an output
// format: AVI, WMV, MP4 or 3gp; false for the formats that keep the
// current filter.
bool OutputSettingFilter(int outputFormat, FileFilter* filter);

// Centres a form on the main window (integer halves).
void CentreOnForm(QWidget* form, const QWidget* mainForm);
