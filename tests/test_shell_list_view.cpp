#include "transfer/ui/shell_list_view.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "tests/support/qt_test_app.h"
#include "tests/support/test_support.h"

// Fontconfig keeps its configuration for the life of the process.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig\n"; }

namespace {
namespace fs = std::filesystem;

class ShellList : public ::testing::Test {
 protected:
  void SetUp() override {
    TestApplication();
    TTeMyShellListView::GetTitle = [this](const std::string& path) {
      ++reads_[path];
      return "title of " + fs::path(path).filename().string();
    };
  }
  void TearDown() override {
    TTeMyShellListView::GetTitle = nullptr;
    TTeMyShellListView::OnRootChange = nullptr;
  }

  // Reads every cell of the list, as painting all of it would.
  static void FetchAll(TTeMyShellListView& list) {
    for (int row = 0; row < list.ItemCount(); ++row)
      for (int column = 0; column < 4; ++column) list.CellText(row, column);
  }

  int TotalReads() const {
    int n = 0;
    for (const auto& [path, count] : reads_) n += count;
    return n;
  }

  TempDir dir_;
  std::map<std::string, int> reads_;
};

TEST_F(ShellList, EachTitleIsReadOncePerFolderVisit) {
  for (int i = 0; i < 300; ++i) WriteFileBytes(dir_.file("M4V" + std::to_string(20001 + i) + ".MP4"), "x");
  TTeMyShellListView list;
  ASSERT_TRUE(list.SetRoot(QString::fromStdString(dir_.path())));
  ASSERT_EQ(list.ItemCount(), 300);
  FetchAll(list);
  FetchAll(list);
  EXPECT_EQ(TotalReads(), 300);
  for (const auto& [path, count] : reads_) EXPECT_EQ(count, 1) << path;
  EXPECT_EQ(list.CellText(7, kTypeColumn), "title of M4V20008.MP4");

  // A refresh is a new visit: every title is read again, once.
  list.Refresh();
  FetchAll(list);
  EXPECT_EQ(TotalReads(), 600);

  // A removed cache entry is read again on its next fetch, and only that one.
  const QString one = list.ItemPath(3);
  list.RemoveCache(one);
  FetchAll(list);
  EXPECT_EQ(TotalReads(), 601);
  EXPECT_EQ(reads_[LocalPath(one)], 3);
}

TEST_F(ShellList, SizeColumnInMegabytes) {
  EXPECT_EQ(SizeInMbText(1536ull * 1048576), "1536MB");
  EXPECT_EQ(SizeInMbText(10ull * 1048576), "10MB");
  EXPECT_EQ(SizeInMbText(10ull * 1048576 - 1), "10.0MB");
  EXPECT_EQ(SizeInMbText(1572864), "1.5MB");
  EXPECT_EQ(SizeInMbText(104858), "0.1MB");
  EXPECT_EQ(SizeInMbText(50 * 1024), "0MB");
  EXPECT_EQ(SizeInMbText(0), "0MB");

  fs::create_directories(dir_.file("Sub"));
  WriteFileBytes(dir_.file("M4V20001.MP4"), std::string(2 * 1048576 + 200000, 'v'));
  TTeMyShellListView list;
  ASSERT_TRUE(list.SetRoot(QString::fromStdString(dir_.path())));
  ASSERT_EQ(list.ItemCount(), 2);
  EXPECT_TRUE(list.ItemIsFolder(0));  // folders come first
  EXPECT_EQ(list.CellText(0, kSizeColumn), "");
  EXPECT_EQ(list.CellText(1, kSizeColumn), "2.2MB");
  // The size is read at every fetch, not kept.
  WriteFileBytes(dir_.file("M4V20001.MP4"), std::string(12 * 1048576, 'v'));
  EXPECT_EQ(list.CellText(1, kSizeColumn), "12MB");
}

TEST_F(ShellList, WithoutTitleReaderEveryTitleIsOneSpace) {
  TTeMyShellListView::GetTitle = nullptr;
  WriteFileBytes(dir_.file("M4V20001.MP4"), "x");
  TTeMyShellListView list;
  ASSERT_TRUE(list.SetRoot(QString::fromStdString(dir_.path())));
  EXPECT_EQ(list.CellText(0, kTypeColumn), " ");
  EXPECT_EQ(list.Title(list.ItemPath(0)), " ");
}

TEST_F(ShellList, RootChangesFilterSortAndTellTheHook) {
  for (const char* name : {"b.mp4", "A.mp4", "c.txt"}) WriteFileBytes(dir_.file(name), "x");
  fs::create_directories(dir_.file("zeta"));
  int rootChanges = 0;
  TTeMyShellListView::OnRootChange = [&] { ++rootChanges; };
  TTeMyShellListView list;
  list.OnAddFolder = [](const QString& path, bool isFolder) { return isFolder || !path.endsWith(".txt"); };
  ASSERT_TRUE(list.SetRoot(QString::fromStdString(dir_.path())));
  EXPECT_EQ(rootChanges, 1);
  ASSERT_EQ(list.ItemCount(), 3);
  EXPECT_EQ(list.CellText(0, kNameColumn), "zeta");
  EXPECT_EQ(list.CellText(1, kNameColumn), "A.mp4");
  EXPECT_EQ(list.CellText(2, kNameColumn), "b.mp4");

  EXPECT_FALSE(list.SetRoot(QString::fromStdString(dir_.file("missing"))));
  EXPECT_EQ(list.Root().toStdString(), dir_.path());
  EXPECT_EQ(rootChanges, 1);
  list.Refresh();
  EXPECT_EQ(rootChanges, 2);

  // The selection is reported with the item's full path.
  std::vector<std::pair<QString, bool>> selections;
  list.OnSelectItem = [&](const QString& path, bool selected) { selections.emplace_back(path, selected); };
  list.selectRow(2);
  list.clearSelection();
  ASSERT_EQ(selections.size(), 2u);
  EXPECT_EQ(selections[0], std::make_pair(QString::fromStdString(dir_.file("b.mp4")), true));
  EXPECT_EQ(selections[1], std::make_pair(QString::fromStdString(dir_.file("b.mp4")), false));
}
}  // namespace
