// The main window: the first start of a new user, the output panel's
// profile choice, edits, estimate and picture size, saving a profile, the
// output folder, the close question, the labels and messages the engine
// drives, and the small forms it owns.
#include <QAction>
#include <QComboBox>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <filesystem>
#include <memory>
#include <thread>

#include "core/frame_state.h"
#include "app/window/ask_default_output_folder.h"
#include "app/window/finished_recording.h"
#include "app/window/lumivault_form.h"
#include "app/window/range_bar.h"
#include "app/window/save_profile_form.h"
#include "app/window/value_list_editor.h"
#include "app/window/video_panel.h"
#include "platform/sysinfo/sysinfo.h"
#include "settings/settings.h"
#include "settings/settings_store.h"
#include "tests/support/fresh_user.h"
#include "tests/support/test_support.h"

namespace {
QString Cell(const ValueListEditor* list, const char* key) { return list->Value(list->RowOf(key)); }

void Edit(ValueListEditor* list, const char* key, const QString& value) {
  list->SetValue(list->RowOf(key), value);
}

int LeadingNumber(const std::string& text) { return std::atoi(text.c_str()); }
}  // namespace

class LumivaultFormTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    user = std::make_unique<FreshUser>();
    box = std::make_unique<ScriptedMessageBox>();
    Frame().IsRecording = false;
    Frame().PlaybackState = 3;
    Frame().TitleLength = 0;
    WindowOptions options;
    options.programFolder = user->ProgramFolder();
    options.installMessageBox = false;
    form = std::make_unique<TLumivaultForm>(options);
    form->CreateSmallForms();
  }
  void cleanup() {
    form.reset();
    box.reset();
    user.reset();
    Frame().IsRecording = false;
  }

  void FirstStartNamesTheOutputOnTheDesktopAndSelectsWmv() {
    std::string folder = user->Home() + "/Desktop/PSP Movie";
    QCOMPARE(Frame().GetOutputPath(), folder + "/M4V20001.MP4");
    QVERIFY(std::filesystem::is_directory(folder));
    QCOMPARE(form->OutputFolderEdit->text(), QString::fromStdString(folder + "/"));
    QCOMPARE(form->ProfileCombo->currentText(), QString("WMV"));
    QCOMPARE(Frame().CurrentProfile->name, std::string("WMV"));
    QCOMPARE(Frame().OutputFormat, 1);
    // A Windows Media profile shows its audio as codec and format only.
    QCOMPARE(form->AudioValueList->rowCount(), 2);
    QCOMPARE(form->AudioValueList->Key(1), QString("Format"));
    QCOMPARE(form->ProfileCombo->count(), 6);
  }

  void WindowIsLaidOutAsDesigned() {
    QCOMPARE(form->size(), QSize(713, 520));
    QCOMPARE(form->windowTitle(), QString("Corvane Video Converter"));
    QCOMPARE(form->findChild<QWidget*>("Panel1")->geometry(), QRect(15, 48, 469, 352));
    QCOMPARE(form->PanelRect(), QRect(16, 49, 467, 350));
    QCOMPARE(form->findChild<QWidget*>("PositionRangeBar")->geometry(), QRect(7, 412, 485, 17));
    QCOMPARE(form->OpenDVDButton->text(), QString("Choose Video"));
    QCOMPARE(form->StartRecordingButton->text(), QString("Convert"));
    QVERIFY(form->menu_Transfer->isVisible());
    QVERIFY(!form->menu_Seperator->isEnabled());
    QVERIFY(!form->menu_SetOutputPath->isEnabled());
    QCOMPARE(form->TimeLabel->text(), QString("0:00:00 of [0:00:00] "));
    QVERIFY(form->PausedScreenPanel->isHidden());
    for (const char* name : {"BannerPanel", "TopStatusLabel", "Image1", "StartPoint_label", "EndPoint_label",
                             "UseProfileSpeedBtn", "SaveProfileBtn", "MoreOptionsBtn", "ShowOutputFolderSpeedBtn",
                             "BrowseBtn", "TeLabel1", "TimeValueList", "VideoValueList", "AudioValueList",
                             "MBperMinLabel", "EstimatedSizeLabel", "PlayButton", "PauseButton", "StopButton",
                             "SaveThumbnailBtn", "ProgressBar", "StatusBar", "ProgressStatus"})
      QVERIFY2(form->findChild<QWidget*>(name), name);
  }

  void EstimateFollowsTheEditedBitRates() {
    SelectProfile("PSP MPEG-4 320x240");
    QCOMPARE(Frame().OutputFormat, 2);
    Edit(form->VideoValueList, "Bitrate", "350");
    Edit(form->AudioValueList, "Bitrate", "96 kbps");
    QCOMPARE(Frame().CurrentProfile->b, 350);
    QCOMPARE(Frame().CurrentProfile->ab, 96);
    QCOMPARE(form->MBperMinLabel->text(), QString("About 3.3 MB per minute"));
  }

  void WindowsMediaFormatSetsTheAudioRateAndANewCodecClearsIt() {
    CProfile* p = Frame().CurrentProfile;
    QVERIFY(!p->aformatList.empty());
    Edit(form->AudioValueList, "Format", QString::fromStdString(p->aformatList.back()));
    QCOMPARE(p->aformat, p->aformatList.back());
    QCOMPARE(form->EncoderAudioFormat(), p->aformat);
    QCOMPARE(p->ab, LeadingNumber(p->aformat));
    Edit(form->AudioValueList, "Codec", "Windows Media Audio 9 Voice");
    QCOMPARE(p->acodec, std::string("Windows Media Audio 9 Voice"));
    QVERIFY(p->aformat.empty());
    QCOMPARE(p->ab, 0);
    QCOMPARE(Cell(form->AudioValueList, "Format"), QString());
    QVERIFY(!form->AudioValueList->PickList(1).isEmpty());
    QCOMPARE(form->AudioValueList->rowCount(), 2);
  }

  // A value longer than its cell shows whole as the cell's tool tip.
  void AValueCutAtTheCellsEdgeShowsWholeAsItsToolTip() {
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    ValueListEditor* list = form->VideoValueList;
    QTableWidgetItem* codec = list->item(list->RowOf("Codec"), 1);
    QCOMPARE(codec->text(), QString("Windows Media Video 9"));
    const QPoint at = list->visualItemRect(codec).center();
    QHelpEvent help(QEvent::ToolTip, at, list->viewport()->mapToGlobal(at));
    QApplication::sendEvent(list->viewport(), &help);
    QVERIFY(LoopUntilToolTip("Windows Media Video 9"));
    // An edited value's tip follows it.
    Edit(form->VideoValueList, "Bitrate", "1234 kbps");
    QTableWidgetItem* rate = list->item(list->RowOf("Bitrate"), 1);
    const QPoint rateAt = list->visualItemRect(rate).center();
    QHelpEvent rateHelp(QEvent::ToolTip, rateAt, list->viewport()->mapToGlobal(rateAt));
    QApplication::sendEvent(list->viewport(), &rateHelp);
    QVERIFY(LoopUntilToolTip("1234 kbps"));
  }

  void DurationTakesSecondsOrMinutes() {
    SelectProfile("PSP MPEG-4 320x240");
    Edit(form->TimeValueList, "Duration", "90");
    QCOMPARE(Frame().CurrentProfile->t, 90);
    QCOMPARE(Cell(form->TimeValueList, "Duration"), QString("0:01:30"));
    Edit(form->TimeValueList, "Duration", "Full");
    QCOMPARE(Frame().CurrentProfile->t, 0);
    Edit(form->TimeValueList, "Duration", "1:30");
    QCOMPARE(Frame().CurrentProfile->t, 90);
    QCOMPARE(Cell(form->TimeValueList, "Duration"), QString("0:01:30"));
    Edit(form->TimeValueList, "Duration", "nothing");
    QCOMPARE(Frame().CurrentProfile->t, 0);
    QCOMPARE(Cell(form->TimeValueList, "Duration"), QString("Full"));
  }

  void SourceAspectChoosesThePspPictureSize() {
    SelectProfile("PSP MPEG-4 320x240");
    const struct {
      int w, h;
      const char* size;
    } cases[] = {{1280, 720, "368x208"}, {1920, 800, "400x192"}, {720, 576, "320x240"}};
    for (const auto& c : cases) {
      form->SourceVideoSizeChanged(c.w, c.h);
      QCoreApplication::processEvents();  // the posted relayout
      QCOMPARE(Cell(form->VideoValueList, "Size"), QString(c.size));
      QCOMPARE(Frame().CurrentProfile->s, std::string(c.size));
    }
    // The video fills the panel's width at the source's aspect.
    QCOMPARE(form->Panel1->VideoPlacement().width(), 467);
    QCOMPARE(form->Panel1->VideoPlacement().height(), 374);  // 467 / 1.25
  }

  void RelayoutPostedFromAnotherThreadRunsOnTheWindowsThread() {
    SelectProfile("PSP MPEG-4 320x240");
    form->SourceVideoSizeChanged(1280, 720);
    QCoreApplication::processEvents();
    Frame().CurrentProfile->s = "320x240";
    std::thread poster([this] { PostMessage(form.get(), WM_VIDEO_RELAYOUT, 0, 0); });
    poster.join();
    QCOMPARE(Frame().CurrentProfile->s, std::string("320x240"));
    QCoreApplication::processEvents();
    QCOMPARE(Frame().CurrentProfile->s, std::string("368x208"));
  }

  void SavingUnderANewNameSelectsIt() {
    // The shipped profiles are read-only once installed: the user's go to
    // the user's own folder.
    SelectProfile("PSP MPEG-4 320x240");
    Edit(form->VideoValueList, "Bitrate", "512");
    AnswerSaveProfile("My PSP", true);
    QTest::mouseClick(form->SaveProfileBtn, Qt::LeftButton);
    QVERIFY(std::filesystem::exists(user->UserProfileFolder() + "/My PSP.pr"));
    QVERIFY(!std::filesystem::exists(user->ProgramFolder() + "/profile/My PSP.pr"));
    QCOMPARE(form->ProfileCombo->currentText(), QString("My PSP"));
    QCOMPARE(Frame().CurrentProfile->name, std::string("My PSP"));
    QCOMPARE(Frame().CurrentProfile->b, 512);
    QCOMPARE(std::string(ReadSettingText("OutputConfig\\last_profile", "")), std::string("My PSP"));
    QCOMPARE(form->ProfileCombo->count(), 7);
    QVERIFY(box->texts.empty());
  }

  void SavingOverAShippedNameKeepsTheShippedFileAndListsTheUsersOnce() {
    SelectProfile("PSP AVC 320x240");
    const std::string shipped = ReadFileBytes(user->ProgramFolder() + "/profile/PSP AVC 320x240.pr");
    Edit(form->VideoValueList, "Bitrate", "384");
    AnswerSaveProfile("PSP AVC 320x240", true);
    QTest::mouseClick(form->SaveProfileBtn, Qt::LeftButton);
    QCOMPARE(ReadFileBytes(user->ProgramFolder() + "/profile/PSP AVC 320x240.pr"), shipped);
    QCOMPARE(form->ProfileCombo->count(), 6);
    SelectProfile("PSP MPEG-4 320x240");
    SelectProfile("PSP AVC 320x240");
    QCOMPARE(Frame().CurrentProfile->b, 384);
  }

  void ASaveTheSystemRefusesNamesTheFolderAndWhy() {
    // A file where the user's data folder should be: no folder can be made.
    std::filesystem::create_directories(user->DataHome());
    WriteFileBytes(user->DataHome() + "/Corvane", "not a folder");
    SelectProfile("PSP AVC 320x240");
    AnswerSaveProfile("Mine", true);
    QTest::mouseClick(form->SaveProfileBtn, Qt::LeftButton);
    QCOMPARE(box->texts.size(), size_t{1});
    QCOMPARE(box->texts[0], "Cannot save profile in " + user->UserProfileFolder() + ": Not a directory");
    QCOMPARE(form->ProfileCombo->currentText(), QString("PSP AVC 320x240"));
    QCOMPARE(form->ProfileCombo->count(), 6);
  }

  void ANameTheFolderRefusesLeavesEverythingAsItWas() {
    SelectProfile("PSP AVC 320x240");
    AnswerSaveProfile("a/b", true);
    form->SaveProfileBtnClick();
    QCOMPARE(box->texts.size(), size_t{1});
    QCOMPARE(box->texts[0],
             std::string("Cannot save profile. Some characters may not be allowed in the profile name. "));
    QCOMPARE(form->ProfileCombo->currentText(), QString("PSP AVC 320x240"));
    QCOMPARE(form->ProfileCombo->count(), 6);
  }

  void CancelSavesNothing() {
    SelectProfile("PSP AVC 320x240");
    AnswerSaveProfile("Never", false);
    form->SaveProfileBtnClick();
    QVERIFY(!std::filesystem::exists(user->UserProfileFolder() + "/Never.pr"));
    QCOMPARE(form->ProfileCombo->currentText(), QString("PSP AVC 320x240"));
  }

  void SaveFormOffersTheSelectedNameUntilOneIsTyped() {
    form->SaveProfileForm->ProfileNameEdit->clear();
    form->SaveProfileForm->FormShow();
    QCOMPARE(form->SaveProfileForm->ProfileNameEdit->text(), QString("WMV"));
  }

  void TypedFolderMovesTheOutput() {
    form->OutputFolderEdit->setText("/media/videos/");
    QCOMPARE(Frame().GetOutputPath(), std::string("/media/videos/M4V20001.MP4"));
    QCOMPARE(std::string(ReadSettingText("OutputConfig\\LastOutput", "")), std::string("/media/videos/M4V20001.MP4"));
  }

  void PointLabelsSitAtTheThumbs() {
    form->ShowEndPointLabel(" (stop point) 59:59->", 300);
    QCOMPARE(form->EndPoint_label->text(), QString(" (stop point) 59:59->"));
    QCOMPARE(form->EndPoint_label->geometry().right() + 1, 300);
    int left = form->EndPoint_label->x();
    form->ShowEndPointLabel(" (stop point) 1:00:00->", -1);
    QCOMPARE(form->EndPoint_label->x(), left);
    form->ShowStartPointLabel("<-1:00 (start point) ", 120);
    QCOMPARE(form->StartPoint_label->x(), 120);
    form->SetPointLabelsVisible(true);
    QVERIFY(form->StartPoint_label->isVisibleTo(form.get()));
    QVERIFY(form->EndPoint_label->isVisibleTo(form.get()));
  }

  void EngineSetsPositionsWithoutTheLowHandler() {
    QSignalSpy low(form->PositionRangeBar, &RangeBar::lowChanged);
    form->SetPositionMax(3600);
    form->SetPositionHigh(3600);
    form->SetPositionLow(100);
    QCOMPARE(form->PositionLow(), 100);
    QCOMPARE(low.count(), 0);
    QVERIFY(form->PositionRangeBar->ChangesEnabled());
    QCOMPARE(form->PositionBarLeft(), 7);
    QCOMPARE(form->PositionBarWidth(), 485);
  }

  void EngineViewDrivesButtonsAndTexts() {
    form->SetConvertCaption("Pause/Stop");
    QCOMPARE(form->StartRecordingButton->text(), QString("Pause/Stop"));
    QCOMPARE(form->EncodeMenu->text(), QString("Pause/Stop"));
    form->EnableTransportButtons(false);
    QVERIFY(!form->PlayButton->isEnabled() && !form->PauseButton->isEnabled() && !form->StopButton->isEnabled());
    form->ShowBanner("Recording ... ", 0x0000FF, true);
    QCOMPARE(form->TopStatusLabel->text(), QString("Recording ... "));
    QVERIFY(form->TopStatusLabel->isVisibleTo(form.get()));
    QCOMPARE(form->BannerPanel->palette().color(QPalette::Window), QColor(0xFF, 0, 0));
    form->SetProgressBar(140);
    QCOMPARE(form->ProgressBar->value(), 100);
  }

  void FirstFolderChoiceMovesTheOutputIntoPspMovie() {
    Frame().SetOutputPath(user->Home() + "/M4V20001.MP4");
    form->AskDefaultOutputFolderForm->RadioButton1->click();
    std::string expected = user->Home() + "/Desktop/PSP Movie/M4V20001.MP4";
    QCOMPARE(Frame().GetOutputPath(), expected);
    QCOMPARE(std::string(ReadSettingText("OutputConfig\\LastOutput", "")), expected);
    QCOMPARE(OutputPathInChosenFolder("/home/me", "clip", 2), std::string("/home/me/untitled.mp4"));
    QCOMPARE(OutputPathInChosenFolder("/home/me", "clip", 5), std::string("/home/me"));
  }

  void FolderDialogOkShowsTheFolderInTheMainWindow() {
    Frame().SetOutputPath("/data/Videos/a.mp4");
    form->AskDefaultOutputFolderForm->TeButton2->click();
    QCOMPARE(form->OutputFolderEdit->text(), QString("/data/Videos"));
    QCOMPARE(FolderFieldForPath("a.mp4", "/home/me"), std::string("/home/me"));
  }

  void FinishedNoticeShutsDownFirstWhenAsked() {
    std::string marker = user->Temp() + "/powered-off";
    SetPowerOffCommand({"touch", marker});
    AppSettings().shutdownWhenDone = true;
    form->FinishedRecording->show();
    SetPowerOffCommand({});
    QVERIFY(std::filesystem::exists(marker));
    QCOMPARE(form->FinishedRecording->Label0->text(), QString("Conversion Completed"));
    QCOMPARE(form->FinishedRecording->label_OutputPath->text(), QString::fromStdString(Frame().GetOutputPath()));
    form->FinishedRecording->Button3->click();
    QVERIFY(form->TransferForm->isVisible());
    QCOMPARE(form->FinishedRecording->result(), 1);
  }

 private:
  void SelectProfile(const char* name) {
    int index = form->ProfileCombo->findText(name);
    QVERIFY2(index >= 0, name);
    form->ProfileCombo->setCurrentIndex(index);
    form->ProfileComboChange();
  }

  static bool LoopUntilToolTip(const QString& text) {
    for (int i = 0; i < 100 && QToolTip::text() != text; ++i) QTest::qWait(10);
    return QToolTip::text() == text;
  }

  // Answers the save-profile form once it is up.
  void AnswerSaveProfile(const QString& name, bool ok) {
    QTimer::singleShot(0, form.get(), [this, name, ok] {
      TSaveProfileForm* f = form->SaveProfileForm;
      f->ProfileNameEdit->setText(name);
      (ok ? f->TeButton1 : f->TeButton2)->click();
    });
  }

  std::unique_ptr<FreshUser> user;
  std::unique_ptr<ScriptedMessageBox> box;
  std::unique_ptr<TLumivaultForm> form;
};

QTEST_MAIN(LumivaultFormTest)
#include "test_lumivault_form.moc"
