// The output settings dialog: the brightness levels and what they store at
// once, and what OK stores (and what it does not).
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTest>
#include <memory>

#include "core/frame_state.h"
#include "app/window/brightness_levels.h"
#include "app/window/output_setting_dlg.h"
#include "platform/registry/registry.h"
#include "settings/settings.h"
#include "settings/settings_store.h"
#include "tests/support/fresh_user.h"

namespace {
std::string Stored(const char* path) { return ReadSettingText(path, "(none)"); }
}  // namespace

class OutputSettingDlgTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    user = std::make_unique<FreshUser>();
    LoadSettings();
    main = std::make_unique<QWidget>();
    main->setGeometry(100, 100, 713, 520);
    dlg = std::make_unique<TOutputSettingDlg>(main.get());
  }
  void cleanup() {
    dlg.reset();
    main.reset();
    user.reset();
  }

  void LevelsGiveTheirOffsetAndSinglePrecisionGain() {
    QCOMPARE(BrightnessForLevel(0).offset, 0);
    QCOMPARE(BrightnessForLevel(1).offset, 12);
    QCOMPARE(BrightnessForLevel(2).offset, 23);
    QCOMPARE(BrightnessForLevel(3).offset, 35);
    QCOMPARE(BrightnessForLevel(3).gain, 1.36f);
    QCOMPARE(BrightnessLevelForOffset(20), 2);  // 20 * 3 / 35 + 0.5 = 2.21
    QCOMPARE(BrightnessLevelForOffset(35), 3);
    QCOMPARE(BrightnessLevelForOffset(0), 0);
    QCOMPARE(BrightnessCommentText(0), std::string("(original)"));
    QCOMPARE(BrightnessCommentText(2), std::string("(+2 level)"));
  }

  void MovingTheBrightnessStoresItAtOnce() {
    dlg->show();
    dlg->BrightnessTrackbar->setValue(3);
    QCOMPARE(dlg->BrightnessComment->text(), QString("(+3 level)"));
    QCOMPARE(Stored("OutputConfig\\brightness_a"), std::string("35"));
    // The single-precision 1.36 widened to double.
    QCOMPARE(Stored("OutputConfig\\brightness_b"), std::string("1.3600000143"));
    QCOMPARE(AppSettings().brightnessA, 35);
    dlg->BrightnessTrackbar->setValue(0);
    QCOMPARE(dlg->BrightnessComment->text(), QString("(original)"));
    QCOMPARE(Stored("OutputConfig\\brightness_a"), std::string("0"));
    QCOMPARE(Stored("OutputConfig\\brightness_b"), std::string("1.0000000000"));
    // Cancel keeps what the bar stored.
    dlg->BrightnessTrackbar->setValue(1);
    dlg->CancelBtn->click();
    QCOMPARE(dlg->result(), 2);
    QVERIFY(!dlg->isVisible());
    QCOMPARE(Stored("OutputConfig\\brightness_a"), std::string("12"));
  }

  void ShowingWritesTheLevelOfAHandStoredOffset() {
    WriteSettingInt("OutputConfig", "brightness_a", 20);
    LoadSettings();
    dlg->show();
    QCOMPARE(dlg->BrightnessTrackbar->value(), 2);
    QCOMPARE(dlg->BrightnessComment->text(), QString("(+2 level)"));
    QCOMPARE(Stored("OutputConfig\\brightness_a"), std::string("23"));
    QCOMPARE(Stored("OutputConfig\\brightness_b"), std::string("1.2400000095"));
  }

  void ShowingFillsTheFieldsFromMemory() {
    AppSettings().fileNumber = 20042;
    AppSettings().audioVolume = 7;
    AppSettings().disableScreensaver = 0;
    AppSettings().shutdownWhenDone = true;
    Frame().SetOutputPath("/videos/clip.MP4");
    dlg->show();
    QCOMPARE(dlg->TeSpinEdit1->value(), 20042);
    QVERIFY(dlg->TeSpinEdit1->isVisible());
    QCOMPARE(dlg->OutputFileName_Edit->text(), QString("/videos/clip.MP4"));
    QCOMPARE(dlg->AudioVolumeTrackBar->value(), 7);
    QVERIFY(!dlg->ScreenSaver_CheckBox->isChecked());
    QVERIFY(dlg->Shutdown_CheckBox->isChecked());
    // Centred on the main window, in integer halves of the outer sizes.
    QSize own = dlg->frameGeometry().size();
    QCOMPARE(dlg->pos(), QPoint(100 + 713 / 2 - own.width() / 2, 100 + 520 / 2 - own.height() / 2));
  }

  // What OK writes back is what the dialog showed: the aspect choice and
  // the split size are loaded too.
  void OkWithoutChangesKeepsTheStoredAspectAndSplit() {
    WriteSettingInt("OutputConfig", "vc_aspect", 1);
    WriteSettingInt("OutputConfig", "Volume", 700);
    LoadSettings();
    dlg->show();
    QCOMPARE(dlg->AspectComboBox->currentIndex(), 1);
    QCOMPARE(dlg->SplitSize_Edit->text(), QString("700"));
    QTest::mouseClick(dlg->OKBtn, Qt::LeftButton);
    QCOMPARE(Stored("OutputConfig\\vc_aspect"), std::string("1"));
    QCOMPARE(Stored("OutputConfig\\Volume"), std::string("700"));
    QCOMPARE(AppSettings().volume, 700);
  }

  // A new video number renames the pending default output; a name the user
  // chose stays as it is.
  void ANewVideoNumberRenamesThePendingDefaultOutput() {
    Frame().SetOutputPath("/videos/M4V20001.MP4");
    AppSettings().fileNumber = 20001;
    OkWithVideoNumber("20100");
    QCOMPARE(Frame().GetOutputPath(), std::string("/videos/M4V20100.MP4"));
    QCOMPARE(Stored("OutputConfig\\LastOutput"), std::string("/videos/M4V20100.MP4"));
    QCOMPARE(Stored("OutputConfig\\file_number"), std::string("20100"));

    Frame().SetOutputPath("/videos/MAQ20100.wmv");
    OkWithVideoNumber("20200");
    QCOMPARE(Frame().GetOutputPath(), std::string("/videos/MAQ20200.wmv"));

    Frame().SetOutputPath("/videos/holiday.MP4");
    OkWithVideoNumber("20300");
    QCOMPARE(Frame().GetOutputPath(), std::string("/videos/holiday.MP4"));
    QCOMPARE(AppSettings().fileNumber, 20300);
  }

  void OkStoresTheOptionsButNeverTheShutdown() {
    dlg->show();
    dlg->AspectComboBox->setCurrentIndex(1);
    dlg->AudioVolumeTrackBar->setValue(8);
    dlg->Shutdown_CheckBox->setChecked(true);
    dlg->ScreenSaver_CheckBox->setChecked(false);
    dlg->OutputFileName_Edit->setText("/videos/out.MP4");
    dlg->TeSpinEdit1->setValue(20100);
    dlg->SplitSize_Edit->setText("10000");
    dlg->OKBtn->click();
    QCOMPARE(dlg->result(), 1);
    QVERIFY(!dlg->isVisible());
    QCOMPARE(Stored("OutputConfig\\vc_aspect"), std::string("1"));
    QCOMPARE(Stored("OutputConfig\\AudioVolume"), std::string("8"));
    QCOMPARE(Stored("OutputConfig\\Volume"), std::string("10000"));
    QCOMPARE(Stored("OutputConfig\\LastOutput"), std::string("/videos/out.MP4"));
    QCOMPARE(Stored("OutputConfig\\disable_screensaver"), std::string("0"));
    QCOMPARE(Stored("OutputConfig\\file_number"), std::string("20100"));
    QVERIFY(AppSettings().shutdownWhenDone);
    QCOMPARE(Frame().GetOutputPath(), std::string("/videos/out.MP4"));
    QCOMPARE(AppSettings().volume, 10000);
    // Nothing in the store names the shutdown choice.
    QFile store(QString::fromStdString(RegistryFilePath()));
    QVERIFY(store.open(QIODevice::ReadOnly));
    QVERIFY(!store.readAll().toLower().contains("shutdown"));
  }

  void SplitSizeThatIsNoNumberBecomesZero() {
    dlg->show();
    dlg->SplitSize_Edit->setText("lots");
    dlg->OKBtn->click();
    QCOMPARE(Stored("OutputConfig\\Volume"), std::string("0"));
    QCOMPARE(AppSettings().volume, 0);
  }

  void BrowseFilterFollowsTheOutputFormat() {
    FileFilter f{"keep", "keep"};
    QVERIFY(OutputSettingFilter(6, &f));
    QCOMPARE(f.name, std::string("3gp"));
    QVERIFY(OutputSettingFilter(2, &f));
    QCOMPARE(f.name, std::string("MP4"));
    QVERIFY(!OutputSettingFilter(4, &f));
    QCOMPARE(f.name, std::string("MP4"));
  }

 private:
  // Shows the dialog, types a video number over the one shown and presses OK.
  void OkWithVideoNumber(const char* number) {
    dlg->show();
    dlg->TeSpinEdit1->selectAll();
    QTest::keyClicks(dlg->TeSpinEdit1, number);
    QTest::mouseClick(dlg->OKBtn, Qt::LeftButton);
  }

  std::unique_ptr<FreshUser> user;
  std::unique_ptr<QWidget> main;
  std::unique_ptr<TOutputSettingDlg> dlg;
};

QTEST_MAIN(OutputSettingDlgTest)
#include "test_output_setting_dlg.moc"
