#include "transfer/ui/transfer_form.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPieSeries>
#include <QPieSlice>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "core/diag_log.h"
#include "core/frame_state.h"
#include "settings/settings.h"
#include "tests/support/qt_test_app.h"
#include "tests/support/test_support.h"
#include "transfer/title_patch.h"
#include "transfer/ui/shell_list_view.h"
#include "transfer/utf16_text.h"

// Fontconfig keeps its configuration for the life of the process.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig\n"; }
// Qt is not built with ThreadSanitizer: what it reports from its own
// bookkeeping when a title change's thread hands back is not ours to fix.
extern "C" const char* __tsan_default_suppressions() {
  return "race:libQt6Core.so*\nrace:libQt6Gui.so*\nrace:libQt6Widgets.so*\nrace:libQt6Test.so*\n";
}

namespace {
namespace fs = std::filesystem;

// A memory stick folder and a computer-side folder of videos:
//   stick/MEMSTICK.IND
//   stick/MP_ROOT/100MNV01: M4V20001.MP4 (titled), M4V20001.THM, m4v00001.Mp4, MAQ20009.MP4
//   stick/MP_ROOT/100ANV01: MAQ20001.MP4
//   videos: M4V20002.MP4, M4V20002.THM, MAQ20002.MP4, notes.txt, Older/
class TransferForm : public ::testing::Test {
 protected:
  // Small MP4 files made once by the ffmpeg command line (empty paths when
  // that failed): a PSP file titled "Stick title" with its movie box last,
  // one with it first, a fragmented one, and one without a PSP title entry.
  static std::string Clip(const std::string& name, const std::string& options) {
    static TempDir clips;
    const std::string p = clips.file(name);
    if (fs::exists(p)) return p;
    int rc = -1;
    const std::string out = RunCommand(
        "ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=160x120:rate=10 -f lavfi -i sine -t 0.5 "
        "-c:v mpeg4 -c:a aac -metadata title='Stick title' " + options + " '" + p + "' 2>&1", &rc);
    if (rc != 0) ADD_FAILURE() << out;
    return rc == 0 ? p : std::string();
  }
  static std::string TitledClip() { return Clip("titled.mp4", "-f psp"); }
  static std::string MovieBoxFirstClip() { return Clip("first.mp4", "-f psp -movflags +faststart"); }
  static std::string FragmentedClip() { return Clip("fragmented.mp4", "-f psp -movflags frag_keyframe+empty_moov"); }
  static std::string UntitledClip() { return Clip("untitled.mp4", "-f mp4"); }

  void SetUp() override {
    TestApplication();
    SetLogFilePath(dir_.file("test.elog"));
    ASSERT_FALSE(TitledClip().empty());
    const std::string mnv = stick_ + "/MP_ROOT/100MNV01";
    fs::create_directories(mnv);
    fs::create_directories(stick_ + "/MP_ROOT/100ANV01");
    fs::create_directories(videos_ + "/Older");
    fs::create_directories(program_);
    WriteFileBytes(stick_ + "/MEMSTICK.IND", "");
    fs::copy_file(TitledClip(), mnv + "/M4V20001.MP4");
    for (const char* name : {"M4V20001.THM", "m4v00001.Mp4", "MAQ20009.MP4"}) WriteFileBytes(mnv + "/" + name, name);
    WriteFileBytes(stick_ + "/MP_ROOT/100ANV01/MAQ20001.MP4", "avc");
    for (const char* name : {"M4V20002.MP4", "M4V20002.THM", "MAQ20002.MP4", "notes.txt"})
      WriteFileBytes(videos_ + "/" + name, name);
    UseVolumes({stick_});
    setenv("XDG_DATA_HOME", dataHome_.c_str(), 1);
    AppSettings().formatMp4 = 0;
    Frame().ProgramFolder = program_;
    Frame().SetOutputPath(videos_ + "/M4V20003.MP4");
  }

  void TearDown() override {
    form_.reset();
    unsetenv(kExtraVolumesVariable);
    unsetenv("XDG_DATA_HOME");
    SetLogFilePath("");
  }

  static void UseVolumes(const std::vector<std::string>& roots) {
    std::string list;
    for (const std::string& r : roots) list += (list.empty() ? "" : ":") + r;
    setenv(kExtraVolumesVariable, list.c_str(), 1);
  }

  TTransferForm& Show() {
    form_ = std::make_unique<TTransferForm>();
    form_->show();
    return *form_;
  }

  static std::vector<std::string> Names(TTeMyShellListView* list) {
    std::vector<std::string> names;
    for (int row = 0; row < list->ItemCount(); ++row) names.push_back(list->CellText(row, kNameColumn).toStdString());
    return names;
  }

  static int RowOf(TTeMyShellListView* list, const std::string& name) {
    for (int row = 0; row < list->ItemCount(); ++row)
      if (list->CellText(row, kNameColumn).toStdString() == name) return row;
    ADD_FAILURE() << name << " is not listed";
    return -1;
  }

  // The drive list entry of a volume root.
  int DriveIndex(const std::string& root) {
    const auto& v = form_->DriveVolumes();
    for (size_t i = 0; i < v.size(); ++i)
      if (v[i].root == root) return static_cast<int>(i);
    return -1;
  }

  TempDir dir_;
  std::string stick_ = dir_.file("stick");
  std::string videos_ = dir_.file("videos");
  std::string program_ = dir_.file("program");
  std::string dataHome_ = dir_.file("home/.local/share");
  std::string mnv_ = stick_ + "/MP_ROOT/100MNV01";
  std::unique_ptr<TTransferForm> form_;
};

TEST_F(TransferForm, ShowingFindsTheStickAndListsMpeg4Videos) {
  TTransferForm& f = Show();
  EXPECT_EQ(f.windowTitle(), "Transfer Video files into PSP");
  EXPECT_EQ(f.TeLabel3->text(), "PSP detected");
  EXPECT_TRUE(f.DevicePresent());
  EXPECT_TRUE(f.Mpeg4_radio->isChecked());
  EXPECT_EQ(f.PSPDriveCombo->currentIndex(), DriveIndex(stick_));
  EXPECT_EQ(f.PSPDriveCombo->currentText().toStdString(), stick_ + "/MP_ROOT/100MNV01");
  EXPECT_EQ(f.TeShellListView2->Root().toStdString(), stick_ + "/MP_ROOT/100MNV01");
  EXPECT_EQ(Names(f.TeShellListView2), (std::vector<std::string>{"m4v00001.Mp4", "M4V20001.MP4"}));
  EXPECT_EQ(f.TeDirectoryEdit1->text().toStdString(), videos_);
  EXPECT_EQ(Names(f.TeShellListView1), (std::vector<std::string>{"Older", "M4V20002.MP4"}));
  EXPECT_EQ(f.TeShellListView2->CellText(RowOf(f.TeShellListView2, "M4V20001.MP4"), kTypeColumn), "Stick title");

  ASSERT_EQ(f.Series1->count(), 3);
  EXPECT_EQ(f.Series1->slices()[0]->label(), "Free");
  EXPECT_EQ(f.Series1->slices()[1]->label(), "Video");
  EXPECT_EQ(f.Series1->slices()[2]->label(), "Other");
  VolumeSpace space;
  ASSERT_TRUE(QueryVolumeSpace(stick_, &space));
  const double total = f.Series1->slices()[0]->value() + f.Series1->slices()[1]->value() +
                       f.Series1->slices()[2]->value();
  EXPECT_NEAR(total, static_cast<double>(space.totalBytes / 1048576), 64.0);
}

TEST_F(TransferForm, H264ModeShowsOnlyMaqFilesFromItsOwnFolder) {
  TTransferForm& f = Show();
  f.H264_radio->click();
  EXPECT_EQ(f.CurrentVideoKind(), kH264Video);
  EXPECT_EQ(f.TeShellListView2->Root().toStdString(), stick_ + "/MP_ROOT/100ANV01");
  EXPECT_EQ(f.PSPDriveCombo->currentText().toStdString(), stick_ + "/MP_ROOT/100ANV01");
  EXPECT_EQ(Names(f.TeShellListView2), std::vector<std::string>{"MAQ20001.MP4"});
  EXPECT_EQ(Names(f.TeShellListView1), (std::vector<std::string>{"Older", "MAQ20002.MP4"}));

  // The kind is taken from format_mp4 at every showing.
  f.hide();
  AppSettings().formatMp4 = 0;
  f.show();
  EXPECT_TRUE(f.Mpeg4_radio->isChecked());
  EXPECT_EQ(f.TeShellListView2->Root().toStdString(), stick_ + "/MP_ROOT/100MNV01");
}

TEST_F(TransferForm, ThumbnailsAreListedWhenNotHiddenAndCopiedAlongWhenHidden) {
  TTransferForm& f = Show();
  f.HideThumbnail->click();
  EXPECT_EQ(Names(f.TeShellListView2), (std::vector<std::string>{"m4v00001.Mp4", "M4V20001.MP4", "M4V20001.THM"}));
  f.HideThumbnail->click();
  ASSERT_TRUE(f.HideThumbnail->isChecked());

  f.TeShellListView1->selectRow(RowOf(f.TeShellListView1, "M4V20002.MP4"));
  f.btnTransfer->click();
  const std::string mnv = stick_ + "/MP_ROOT/100MNV01/";
  EXPECT_EQ(ReadFileBytes(mnv + "M4V20002.MP4"), "M4V20002.MP4");
  EXPECT_EQ(ReadFileBytes(mnv + "M4V20002.THM"), "M4V20002.THM");
  EXPECT_EQ(Names(f.TeShellListView2), (std::vector<std::string>{"m4v00001.Mp4", "M4V20001.MP4", "M4V20002.MP4"}));

  // Back to the computer, by dropping the stick's item on the left list.
  f.TeShellListView2->selectRow(RowOf(f.TeShellListView2, "M4V20001.MP4"));
  EXPECT_FALSE(f.TeShellListView1DragOver(f.TeShellListView1));
  ASSERT_TRUE(f.TeShellListView1DragOver(f.TeShellListView2));
  f.TeShellListView1DragDrop(f.TeShellListView2);
  EXPECT_EQ(ReadFileBytes(videos_ + "/M4V20001.MP4"), ReadFileBytes(mnv + "M4V20001.MP4"));
  EXPECT_EQ(ReadFileBytes(videos_ + "/M4V20001.THM"), "M4V20001.THM");
}

TEST_F(TransferForm, DeleteButtonAsksThenDeletesVideoAndThumbnailOfTheFocusedList) {
  TTransferForm& f = Show();
  ScriptedMessageBox box;
  const std::string mnv = stick_ + "/MP_ROOT/100MNV01/";
  f.TeShellListView2->setFocus();
  f.TeShellListView2->selectRow(RowOf(f.TeShellListView2, "M4V20001.MP4"));
  box.Answer(mrNo);
  f.btnDel->click();
  ASSERT_EQ(box.texts, std::vector<std::string>{"Are you sure to delete selected files?\n"});
  EXPECT_TRUE(fs::exists(mnv + "M4V20001.MP4"));

  box.Answer(mrYes);
  f.btnDel->click();
  EXPECT_FALSE(fs::exists(mnv + "M4V20001.MP4"));
  EXPECT_FALSE(fs::exists(mnv + "M4V20001.THM"));
  EXPECT_EQ(Names(f.TeShellListView2), std::vector<std::string>{"m4v00001.Mp4"});
  EXPECT_TRUE(fs::exists(videos_ + "/M4V20002.MP4"));
}

TEST_F(TransferForm, DeleteKeyAsksAndDeletesOnlyTheSelectedItems) {
  TTransferForm& f = Show();
  ScriptedMessageBox box;
  f.TeShellListView1->selectRow(RowOf(f.TeShellListView1, "M4V20002.MP4"));
  box.Answer(mrYes);
  QTest::keyClick(f.TeShellListView1, Qt::Key_Delete);
  EXPECT_EQ(box.texts.size(), 1u);
  EXPECT_FALSE(fs::exists(videos_ + "/M4V20002.MP4"));
  EXPECT_TRUE(fs::exists(videos_ + "/M4V20002.THM"));
}

TEST_F(TransferForm, DeviceFolderOnAnotherDriveOnlyAfterYes) {
  const std::string other = dir_.file("other");
  fs::create_directories(other);
  UseVolumes({other, stick_});
  TTransferForm& f = Show();
  ScriptedMessageBox box;
  box.Answer(mrNo);
  f.PSPDriveCombo->setCurrentIndex(DriveIndex(other));
  ASSERT_EQ(box.texts.size(), 1u);
  EXPECT_EQ(box.texts[0],
            "This drive does not seems to be a PSP drive. Are you sure to creat PSP video folder "
            "\"MP_ROOT\\100MNV01\" ");
  EXPECT_FALSE(fs::exists(other + "/MP_ROOT"));
  EXPECT_EQ(f.TeShellListView2->Root().toStdString(), stick_ + "/MP_ROOT/100MNV01");

  f.PSPDriveCombo->setCurrentIndex(DriveIndex(stick_));
  box.Answer(mrYes);
  f.PSPDriveCombo->setCurrentIndex(DriveIndex(other));
  EXPECT_TRUE(fs::is_directory(other + "/MP_ROOT/100MNV01"));
  EXPECT_EQ(f.TeShellListView2->Root().toStdString(), other + "/MP_ROOT/100MNV01");
}

TEST_F(TransferForm, TheDetectedStickGetsItsMissingFolderWithoutAQuestion) {
  fs::remove_all(stick_ + "/MP_ROOT");
  ScriptedMessageBox box;
  TTransferForm& f = Show();
  EXPECT_TRUE(box.texts.empty());
  EXPECT_TRUE(fs::is_directory(stick_ + "/MP_ROOT/100MNV01"));
  EXPECT_EQ(f.TeShellListView2->Root().toStdString(), stick_ + "/MP_ROOT/100MNV01");
}

// Without a stick the right list shows a folder of the user's data folder,
// made when missing, and "=>" copies into it.
TEST_F(TransferForm, WithoutAStickTheFallbackFolderAndAnEmptyPie) {
  UseVolumes({videos_});
  ScriptedMessageBox box;
  TTransferForm& f = Show();
  EXPECT_EQ(f.TeLabel3->text(), "PSP not detected");
  EXPECT_FALSE(f.DevicePresent());
  const std::string fallback = dataHome_ + "/Corvane/transfer";
  EXPECT_EQ(f.TeShellListView2->Root().toStdString(), fallback);
  EXPECT_TRUE(fs::is_directory(fallback));
  ASSERT_EQ(f.Series1->count(), 1);
  EXPECT_EQ(f.Series1->slices()[0]->label(), "None ");
  EXPECT_EQ(f.Series1->slices()[0]->value(), 0.0);

  f.TeShellListView1->selectRow(RowOf(f.TeShellListView1, "M4V20002.MP4"));
  f.btnTransfer->click();
  EXPECT_EQ(ReadFileBytes(fallback + "/M4V20002.MP4"), "M4V20002.MP4");
  EXPECT_EQ(Names(f.TeShellListView2), std::vector<std::string>{"M4V20002.MP4"});
  EXPECT_TRUE(box.texts.empty());
}

TEST_F(TransferForm, TitleControlsFollowTheSelectionAndChangeTheTitle) {
  TTransferForm& f = Show();
  EXPECT_FALSE(f.TitleApplyButton->isEnabled());
  TTeMyShellListView* list = f.TeShellListView2;
  list->selectRow(RowOf(list, "M4V20001.MP4"));
  EXPECT_TRUE(f.TitleApplyButton->isEnabled());
  EXPECT_TRUE(f.TitleEdit->isEnabled());
  EXPECT_EQ(f.TitleEdit_Filename->text(), "M4V20001.MP4");
  EXPECT_EQ(f.TitleEdit->text(), "Stick title");

  f.TitleEdit->setText("A longer title for the stick");
  f.TitleApplyButton->click();
  const std::string path = stick_ + "/MP_ROOT/100MNV01/M4V20001.MP4";
  EXPECT_EQ(ReadMp4Title(path), "A longer title for the stick");
  EXPECT_EQ(list->CellText(RowOf(list, "M4V20001.MP4"), kTypeColumn), "A longer title for the stick");

  f.HideThumbnail->click();
  list->selectRow(RowOf(list, "M4V20001.THM"));
  EXPECT_FALSE(f.TitleApplyButton->isEnabled());
  EXPECT_TRUE(f.TitleEdit->text().isEmpty());
}

// Pressing "Change Video Title" without editing leaves the file as it was,
// and the whole stored title is in the edit.
TEST_F(TransferForm, AnUneditedFullTitleIsShownWholeAndLeavesTheFileAlone) {
  std::string cjk;
  for (int i = 0; i < 255; ++i) cjk += "\xE5\xA4\x8F";  // 夏
  const std::string path = mnv_ + "/M4V20001.MP4";
  ASSERT_EQ(WriteMp4Title(path, Utf8ToUtf16(cjk)), TitleWriteResult::Written);
  const std::string before = ReadFileBytes(path);
  ScriptedMessageBox box;
  TTransferForm& f = Show();
  TTeMyShellListView* list = f.TeShellListView2;
  list->selectRow(RowOf(list, "M4V20001.MP4"));
  EXPECT_EQ(f.TitleEdit->text().toStdString(), cjk);
  QTest::mouseClick(f.TitleApplyButton, Qt::LeftButton);
  EXPECT_EQ(ReadFileBytes(path), before);
  EXPECT_TRUE(box.texts.empty());
  EXPECT_EQ(list->CellText(RowOf(list, "M4V20001.MP4"), kTypeColumn).toStdString(), cjk);
}

// A pasted title keeps its first 255 characters, emoji counted once each.
TEST_F(TransferForm, APastedLongTitleKeepsItsFirst255Characters) {
  std::string emoji;
  for (int i = 0; i < 300; ++i) emoji += "\xF0\x9F\x8E\xAC";  // 🎬, two UTF-16 units
  TTransferForm& f = Show();
  f.TeShellListView2->selectRow(RowOf(f.TeShellListView2, "M4V20001.MP4"));
  f.TitleEdit->setFocus();
  const auto paste = [&](const std::string& text) {
    QApplication::clipboard()->setText(QString::fromStdString(text));
    QTest::keySequence(f.TitleEdit, QKeySequence::SelectAll);
    QTest::keySequence(f.TitleEdit, QKeySequence::Paste);
  };
  paste(std::string(300, 'a'));
  EXPECT_EQ(f.TitleEdit->text().toStdString(), std::string(255, 'a'));
  paste(emoji);
  EXPECT_EQ(f.TitleEdit->text().toStdString(), emoji.substr(0, 255 * 4));
  QTest::mouseClick(f.TitleApplyButton, Qt::LeftButton);
  EXPECT_EQ(ReadMp4Title(mnv_ + "/M4V20001.MP4"), emoji.substr(0, 255 * 4));
  EXPECT_EQ(f.TitleEdit->text().toStdString(), emoji.substr(0, 255 * 4));
}

// A title that cannot be changed is told in one message, and the file and
// the list keep the old one.
TEST_F(TransferForm, AFailedTitleChangeIsToldInOneMessage) {
  fs::copy_file(UntitledClip(), mnv_ + "/M4V20005.MP4");
  fs::copy_file(FragmentedClip(), mnv_ + "/M4V20006.MP4");
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"M4V20005.MP4", "Cannot change the title: \"M4V20005.MP4\" has no PSP title entry (not written for a PSP); "
                       "left unchanged."},
      {"M4V20006.MP4", "Cannot change the title: \"M4V20006.MP4\" has a layout the title cannot be changed in "
                       "safely; left unchanged."}};
  TTransferForm& f = Show();
  TTeMyShellListView* list = f.TeShellListView2;
  for (const auto& [name, message] : cases) {
    SCOPED_TRACE(name);
    const std::string before = ReadFileBytes(mnv_ + "/" + name);
    const QString oldTitle = list->CellText(RowOf(list, name), kTypeColumn);
    ScriptedMessageBox box;
    list->selectRow(RowOf(list, name));
    f.TitleEdit->clear();
    QTest::keyClicks(f.TitleEdit, "A much longer title than before");
    QTest::mouseClick(f.TitleApplyButton, Qt::LeftButton);
    EXPECT_EQ(box.texts, std::vector<std::string>{message});
    ASSERT_EQ(box.kinds.size(), 1u);
    EXPECT_EQ(box.kinds[0], MsgKind::Error);
    EXPECT_EQ(ReadFileBytes(mnv_ + "/" + name), before);
    EXPECT_EQ(list->CellText(RowOf(list, name), kTypeColumn), oldTitle);
  }
}

// A file whose movie box comes first is written anew on a thread of its own
// while the progress dialog is up and the window keeps handling events.
TEST_F(TransferForm, AMovieBoxFirstTitleChangeRunsBesideTheWindowWithProgress) {
  const std::string path = mnv_ + "/M4V20007.MP4";
  fs::copy_file(MovieBoxFirstClip(), path);
  const std::string packets = PacketChecksums(path);
  TTransferForm& f = Show();
  TTeMyShellListView* list = f.TeShellListView2;
  list->selectRow(RowOf(list, "M4V20007.MP4"));
  f.TitleEdit->clear();
  QTest::keyClicks(f.TitleEdit, "A title for a file with its movie box first");
  int ticks = 0;
  bool dialogSeen = false;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    ++ticks;
    for (QProgressDialog* d : f.findChildren<QProgressDialog*>()) dialogSeen = dialogSeen || d->isVisible();
  });
  watch.start(0);
  QTest::mouseClick(f.TitleApplyButton, Qt::LeftButton);
  const int ticksDuringTheChange = ticks;
  watch.stop();
  EXPECT_GT(ticksDuringTheChange, 0) << "the window's events went on during the change";
  EXPECT_TRUE(dialogSeen);
  EXPECT_EQ(ReadMp4Title(path), "A title for a file with its movie box first");
  EXPECT_EQ(PacketChecksums(path), packets);
  EXPECT_EQ(list->CellText(RowOf(list, "M4V20007.MP4"), kTypeColumn), "A title for a file with its movie box first");
  EXPECT_FALSE(f.findChild<QProgressDialog*>() && f.findChild<QProgressDialog*>()->isVisible());
}

TEST_F(TransferForm, ResizeSplitsTheWidthBetweenTheLists) {
  TTransferForm& f = Show();
  f.resize(1001, 600);
  const int w = (1001 - 38) / 2;
  EXPECT_EQ(f.TeShellListView1->width(), w);
  EXPECT_EQ(f.TePanel1->width(), w);
  EXPECT_EQ(f.TePanel2->x(), w + 33);
  EXPECT_EQ(f.TeShellListView2->x(), w + 35);
  EXPECT_EQ(f.TeShellListView2->width(), w);
  EXPECT_LE(f.TeShellListView2->geometry().right(), f.width());
  EXPECT_LT(f.TeShellListView1->geometry().bottom(), f.TitleEdit->mapTo(&f, QPoint(0, 0)).y());
}
}  // namespace
