#pragma once
// The file lists of the transfer window: a report-style list of the items of
// one folder. TTeCustomShellListView lists the folder and lets the owner
// filter items, react to selection, keys and drops; TTeMyShellListView shows
// the size in MB and the MP4 title of every file, with the titles cached per
// folder visit because reading one means opening and walking the file.
#include <QString>
#include <QStringList>
#include <QTableView>
#include <QVariant>

#include <cstdint>
#include <functional>
#include <map>
#include <string>

class ShellFolderModel;

// Report-view columns.
enum ShellColumn : int { kNameColumn = 0, kSizeColumn = 1, kTypeColumn = 2, kModifiedColumn = 3 };

class TTeCustomShellListView : public QTableView {
  Q_OBJECT
 public:
  explicit TTeCustomShellListView(QWidget* parent = nullptr);
  ~TTeCustomShellListView() override;

  // Shows folder; false (and nothing changed) when it is not a readable folder.
  bool SetRoot(const QString& folder);
  QString Root() const { return root_; }
  // Reads the folder again (a root change), or empties the list when the
  // folder is gone.
  void Refresh();
  // Shows no folder at all.
  void ShowNothing();

  int ItemCount() const;
  QString ItemPath(int row) const;
  bool ItemIsFolder(int row) const;
  QStringList SelectedPaths() const;
  // The text the list shows in a cell (what OwnerDataFetch gives).
  QString CellText(int row, int column);

  // Events for the owner, named as the owner's handlers are.
  std::function<bool(const QString& path, bool isFolder)> OnAddFolder;  // show the item?
  std::function<void(const QString& path, bool selected)> OnSelectItem;
  std::function<void(int key)> OnKeyDown;
  std::function<bool(QObject* source)> OnDragOver;  // accept a drop from source?
  std::function<void(QObject* source)> OnDragDrop;

 protected:
  friend class ShellFolderModel;
  // The data of one cell, asked for when the list paints or is read.
  virtual QVariant OwnerDataFetch(int row, int column, int role);
  // Runs after the root was set or the folder was read again.
  virtual void RootChanged();
  // A shell verb on an item: "open" browses into a folder or opens a file
  // with the desktop's program for it.
  virtual void ExecuteCommand(const QString& verb, const QString& path);
  void SetColumnTitle(int column, const QString& title);

  void keyPressEvent(QKeyEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void SelectionChanged();

  ShellFolderModel* model_;
  QString root_;
  QString selectedPath_;  // the item last reported selected
};

// Paths between Qt text and the file system's bytes.
std::string LocalPath(const QString& path);
QString QtPath(const std::string& path);

// Size in MB as the list shows it: "%dMB" from 10 MB, "%.1fMB" from 0.1 MB,
// else "0MB".
QString SizeInMbText(std::uint64_t bytes);

class TTeMyShellListView : public TTeCustomShellListView {
  Q_OBJECT
 public:
  explicit TTeMyShellListView(QWidget* parent = nullptr);

  // Hooks for all lists, set by the transfer window: after any root change,
  // and the title reader for a full path.
  static std::function<void()> OnRootChange;
  static std::function<std::string(const std::string& path)> GetTitle;

  void RemoveCache(const QString& path);
  // The title of path from the cache, read (once per folder visit) when missing.
  QString Title(const QString& path);
  // How many titles the cache holds.
  std::size_t CachedTitleCount() const { return titleCache_.size(); }

 protected:
  QVariant OwnerDataFetch(int row, int column, int role) override;
  void RootChanged() override;
  void ExecuteCommand(const QString& verb, const QString& path) override;

 private:
  std::map<QString, QString> titleCache_;  // full path -> title, for the current folder visit
};
