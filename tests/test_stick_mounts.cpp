// The transfer window against real mounts: a stick mounted and unmounted
// while the window is shown, and a stick too full for a title change. The
// program runs in a mount namespace of its own (entered before any test, and
// with a user namespace when not run as root), so it mounts and unmounts as
// an automounter does without touching the machine's mounts. Where the
// system allows no such namespace the tests are skipped.
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPieSeries>
#include <QPieSlice>
#include <QPushButton>
#include <QTest>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "core/diag_log.h"
#include "core/frame_state.h"
#include "settings/settings.h"
#include "tests/support/qt_test_app.h"
#include "tests/support/test_support.h"
#include "transfer/title_patch.h"
#include "transfer/ui/mount_watcher.h"
#include "transfer/ui/shell_list_view.h"
#include "transfer/ui/transfer_form.h"

// Fontconfig keeps its configuration for the life of the process.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig\n"; }
// Qt is not built with ThreadSanitizer: its own threads' bookkeeping is not
// ours to fix.
extern "C" const char* __tsan_default_suppressions() {
  return "race:libQt6Core.so*\nrace:libQt6Gui.so*\nrace:libQt6Widgets.so*\nrace:libQt6Test.so*\n";
}

namespace {
namespace fs = std::filesystem;

bool WriteText(const char* path, const std::string& text) {
  const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  ::close(fd);
  return ok;
}

// True once this process has mounts of its own that nobody else sees.
bool EnterPrivateMountNamespace() {
  const uid_t uid = ::getuid();
  const gid_t gid = ::getgid();
  if (::unshare(CLONE_NEWNS | (uid == 0 ? 0 : CLONE_NEWUSER)) != 0) return false;
  if (uid != 0 && (!WriteText("/proc/self/setgroups", "deny") ||
                   !WriteText("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1") ||
                   !WriteText("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1")))
    return false;
  return ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}

bool g_privateMounts = false;

// Runs before the first test, while the program still has a single thread
// (a user namespace can only be entered then).
class MountNamespace : public ::testing::Environment {
 public:
  void SetUp() override { g_privateMounts = EnterPrivateMountNamespace(); }
};
const auto* const g_namespace = ::testing::AddGlobalTestEnvironment(new MountNamespace);

// Lets the window's events run until done() holds; false when it never
// does (a bound so a fault fails the test instead of hanging it).
bool EventsUntil(const std::function<bool()>& done) {
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!done()) {
    if (std::chrono::steady_clock::now() > giveUp) return false;
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  }
  return true;
}

class StickMounts : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!g_privateMounts) GTEST_SKIP() << "no mount namespace of our own on this system";
    TestApplication();
    SetLogFilePath(dir_.file("test.elog"));
    fs::create_directories(slot_);
    setenv(kExtraVolumesVariable, slot_.c_str(), 1);
    setenv("XDG_DATA_HOME", dir_.file("data").c_str(), 1);
    AppSettings().formatMp4 = 0;
    Frame().SetOutputPath(dir_.file("M4V20003.MP4"));
  }

  void TearDown() override {
    form_.reset();
    for (const std::string& m : mounted_) ::umount2(m.c_str(), MNT_DETACH);
    unsetenv(kExtraVolumesVariable);
    unsetenv("XDG_DATA_HOME");
    SetLogFilePath("");
  }

  bool MountTmpfs(const std::string& folder, const std::string& options) {
    fs::create_directories(folder);
    if (::mount("tmpfs", folder.c_str(), "tmpfs", 0, options.c_str()) != 0) return false;
    mounted_.push_back(folder);
    return true;
  }

  TTransferForm& Show() {
    form_ = std::make_unique<TTransferForm>();
    form_->show();
    return *form_;
  }

  TempDir dir_;
  std::string slot_ = dir_.file("media/STICK");  // where the stick appears
  std::vector<std::string> mounted_;
  std::unique_ptr<TTransferForm> form_;
};

// The stick mounted while the window is shown is found without a click; when
// it is unmounted the right list goes back to the fallback folder and the
// pie to its empty slice, without a message.
TEST_F(StickMounts, TheWindowFindsAStickPluggedInAndLetsItGoWhenPulledOut) {
  const std::string stick = dir_.file("stick");
  ASSERT_TRUE(MountTmpfs(stick, "size=8m"));
  fs::create_directories(stick + "/MP_ROOT/100MNV01");
  WriteFileBytes(stick + "/MEMSTICK.IND", "");
  WriteFileBytes(stick + "/MP_ROOT/100MNV01/M4V20001.MP4", "video");

  ScriptedMessageBox box;
  TTransferForm& f = Show();
  ASSERT_EQ(f.TeLabel3->text(), "PSP not detected");
  const QString fallback = QString::fromStdString(dir_.file("data/Corvane/transfer"));
  ASSERT_EQ(f.TeShellListView2->Root(), fallback);

  ASSERT_EQ(::mount(stick.c_str(), slot_.c_str(), nullptr, MS_BIND, nullptr), 0);
  mounted_.push_back(slot_);
  ASSERT_TRUE(EventsUntil([&] { return f.TeLabel3->text() == "PSP detected"; }));
  EXPECT_TRUE(f.DevicePresent());
  EXPECT_EQ(f.TeShellListView2->Root().toStdString(), slot_ + "/MP_ROOT/100MNV01");
  ASSERT_EQ(f.TeShellListView2->ItemCount(), 1);
  EXPECT_EQ(f.TeShellListView2->CellText(0, kNameColumn), "M4V20001.MP4");
  EXPECT_EQ(f.Series1->count(), 3);

  ASSERT_EQ(::umount2(slot_.c_str(), 0), 0);
  mounted_.pop_back();
  ASSERT_TRUE(EventsUntil([&] { return f.TeLabel3->text() == "PSP not detected"; }));
  EXPECT_FALSE(f.DevicePresent());
  EXPECT_EQ(f.TeShellListView2->Root(), fallback);
  EXPECT_EQ(f.TeShellListView2->ItemCount(), 0);
  ASSERT_EQ(f.Series1->count(), 1);
  EXPECT_EQ(f.Series1->slices()[0]->label(), "None ");
  EXPECT_EQ(box.texts, std::vector<std::string>{});

  // Hidden, the window watches no more.
  f.hide();
  EXPECT_FALSE(f.MountTableWatcher()->Watching());
}

// A movie-box-first title change needs a second copy of the file on the
// stick; on a stick without that much room the window says so and the file
// stays as it was.
TEST_F(StickMounts, ATitleChangeOnAStickWithoutRoomSaysSoAndLeavesTheFile) {
  const std::string clip = dir_.file("first.mp4");
  int rc = -1;
  const std::string made = RunCommand(
      "ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=320x240:rate=30000/1001 -f lavfi -i sine -t 2 "
      "-c:v mpeg4 -b:v 4M -c:a aac -metadata title=Hello -movflags +faststart -f psp '" + clip + "' 2>&1", &rc);
  ASSERT_EQ(rc, 0) << made;
  const std::uintmax_t size = fs::file_size(clip);
  // Room for the file and a third of it again.
  const std::uintmax_t room = (size + size / 3 + 65536) / 4096 * 4096;
  ASSERT_TRUE(MountTmpfs(slot_, "size=" + std::to_string(room)));
  fs::create_directories(slot_ + "/MP_ROOT/100MNV01");
  WriteFileBytes(slot_ + "/MEMSTICK.IND", "");
  const std::string path = slot_ + "/MP_ROOT/100MNV01/M4V20001.MP4";
  fs::copy_file(clip, path);
  const std::string before = ReadFileBytes(path);

  ScriptedMessageBox box;
  TTransferForm& f = Show();
  ASSERT_EQ(f.TeLabel3->text(), "PSP detected");
  f.TeShellListView2->selectRow(0);
  ASSERT_EQ(f.TitleEdit->text(), "Hello");
  f.TitleEdit->clear();
  QTest::keyClicks(f.TitleEdit, "A title that needs the file written anew");
  QTest::mouseClick(f.TitleApplyButton, Qt::LeftButton);
  EXPECT_EQ(box.texts, std::vector<std::string>{
                           "Cannot change the title: \"M4V20001.MP4\" needs as much free space beside it as its own "
                           "size for the change, and the drive has less; left unchanged."});
  EXPECT_EQ(ReadFileBytes(path), before);
  EXPECT_EQ(fs::directory_iterator(slot_ + "/MP_ROOT/100MNV01")->path().filename(), "M4V20001.MP4");
  EXPECT_EQ(std::distance(fs::directory_iterator(slot_ + "/MP_ROOT/100MNV01"), fs::directory_iterator()), 1);
  EXPECT_EQ(f.TitleEdit->text(), "Hello");
}
}  // namespace
