#include "transfer/ui/shell_list_view.h"

#include <sys/stat.h>

#include <QAbstractTableModel>
#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLocale>
#include <QMimeData>
#include <QUrl>

#include <algorithm>
#include <array>
#include <set>
#include <vector>

#include "core/diag_log.h"

namespace {
struct ShellItem {
  QString path;
  QString name;
  bool isFolder = false;
};

std::uint64_t FileSizeBytes(const QString& path) {
  struct stat st;
  const QByteArray native = QFile::encodeName(path);
  if (stat(native.constData(), &st) != 0 || !S_ISREG(st.st_mode)) return 0;
  return static_cast<std::uint64_t>(st.st_size);
}

constexpr int kColumnCount = 4;
}  // namespace

// The items of one folder, in the order the list shows them: folders first,
// then by name without regard to case. Every cell is asked of the view.
class ShellFolderModel : public QAbstractTableModel {
 public:
  explicit ShellFolderModel(TTeCustomShellListView* view) : QAbstractTableModel(view), view_(view) {}

  // Lists folder through the owner's filter; false when it cannot be read.
  bool Load(const QString& folder) {
    beginResetModel();
    items_.clear();
    QDir dir(folder);
    const bool readable = dir.exists() && dir.isReadable();
    if (readable) {
      const QFileInfoList entries =
          dir.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System, QDir::NoSort);
      for (const QFileInfo& fi : entries) {
        ShellItem item{fi.absoluteFilePath(), fi.fileName(), fi.isDir()};
        if (view_->OnAddFolder && !view_->OnAddFolder(item.path, item.isFolder)) continue;
        items_.push_back(std::move(item));
      }
      std::sort(items_.begin(), items_.end(), [](const ShellItem& a, const ShellItem& b) {
        if (a.isFolder != b.isFolder) return a.isFolder;
        return QString::compare(a.name, b.name, Qt::CaseInsensitive) < 0;
      });
    }
    endResetModel();
    return readable;
  }

  void Clear() {
    beginResetModel();
    items_.clear();
    endResetModel();
  }

  const ShellItem* Item(int row) const {
    return row >= 0 && row < static_cast<int>(items_.size()) ? &items_[row] : nullptr;
  }
  int Count() const { return static_cast<int>(items_.size()); }

  void SetTitle(int column, const QString& title) {
    titles_[column] = title;
    emit headerDataChanged(Qt::Horizontal, column, column);
  }

  int rowCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : Count(); }
  int columnCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : kColumnCount; }

  QVariant data(const QModelIndex& index, int role) const override {
    if (!index.isValid()) return {};
    return view_->OwnerDataFetch(index.row(), index.column(), role);
  }

  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= kColumnCount)
      return {};
    return titles_[section];
  }

  Qt::ItemFlags flags(const QModelIndex& index) const override {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled;
  }

  QStringList mimeTypes() const override { return {QStringLiteral("text/uri-list")}; }

  QMimeData* mimeData(const QModelIndexList& indexes) const override {
    std::set<int> rows;
    for (const QModelIndex& i : indexes) rows.insert(i.row());
    QList<QUrl> urls;
    for (int row : rows)
      if (const ShellItem* item = Item(row)) urls.push_back(QUrl::fromLocalFile(item->path));
    auto* mime = new QMimeData;
    mime->setUrls(urls);
    return mime;
  }

  Qt::DropActions supportedDragActions() const override { return Qt::CopyAction; }

 private:
  TTeCustomShellListView* view_;
  std::vector<ShellItem> items_;
  std::array<QString, kColumnCount> titles_{QStringLiteral("Name"), QStringLiteral("Size"),
                                            QStringLiteral("Type"), QStringLiteral("Date Modified")};
};

TTeCustomShellListView::TTeCustomShellListView(QWidget* parent)
    : QTableView(parent), model_(new ShellFolderModel(this)) {
  setModel(model_);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setShowGrid(true);
  setWordWrap(false);
  setDragEnabled(true);
  setAcceptDrops(true);
  setDragDropMode(QAbstractItemView::DragDrop);
  setDefaultDropAction(Qt::CopyAction);
  verticalHeader()->hide();
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
  horizontalHeader()->setStretchLastSection(true);
  horizontalHeader()->setHighlightSections(false);
  setColumnWidth(kNameColumn, 130);
  setColumnWidth(kSizeColumn, 60);
  setColumnWidth(kTypeColumn, 120);
  connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
          [this] { SelectionChanged(); });
  connect(this, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
    if (index.isValid()) ExecuteCommand(QStringLiteral("open"), ItemPath(index.row()));
  });
}

TTeCustomShellListView::~TTeCustomShellListView() = default;

bool TTeCustomShellListView::SetRoot(const QString& folder) {
  QFileInfo fi(folder);
  if (folder.isEmpty() || !fi.isDir() || !fi.isReadable()) return false;
  root_ = QDir::cleanPath(fi.absoluteFilePath());
  RootChanged();
  return true;
}

void TTeCustomShellListView::Refresh() {
  if (root_.isEmpty()) return;
  RootChanged();
}

void TTeCustomShellListView::ShowNothing() {
  root_.clear();
  selectedPath_.clear();
  model_->Clear();
}

void TTeCustomShellListView::RootChanged() {
  selectedPath_.clear();
  if (!model_->Load(root_)) WriteLog("Cannot list the folder %s", root_.toUtf8().constData());
}

int TTeCustomShellListView::ItemCount() const { return model_->Count(); }

QString TTeCustomShellListView::ItemPath(int row) const {
  const ShellItem* item = model_->Item(row);
  return item ? item->path : QString();
}

bool TTeCustomShellListView::ItemIsFolder(int row) const {
  const ShellItem* item = model_->Item(row);
  return item && item->isFolder;
}

QStringList TTeCustomShellListView::SelectedPaths() const {
  QModelIndexList rows = selectionModel()->selectedRows();
  std::sort(rows.begin(), rows.end(), [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
  QStringList paths;
  for (const QModelIndex& i : rows) paths.push_back(ItemPath(i.row()));
  return paths;
}

QString TTeCustomShellListView::CellText(int row, int column) {
  return model_->data(model_->index(row, column), Qt::DisplayRole).toString();
}

void TTeCustomShellListView::SetColumnTitle(int column, const QString& title) {
  model_->SetTitle(column, title);
}

QVariant TTeCustomShellListView::OwnerDataFetch(int row, int column, int role) {
  const ShellItem* item = model_->Item(row);
  if (!item) return {};
  static QFileIconProvider icons;
  if (column == kNameColumn && role == Qt::DecorationRole) return icons.icon(QFileInfo(item->path));
  if (column == kSizeColumn && role == Qt::TextAlignmentRole)
    return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
  if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
  switch (column) {
    case kNameColumn:
      return item->name;
    case kSizeColumn:
      return item->isFolder ? QString() : QLocale().formattedDataSize(FileSizeBytes(item->path));
    case kTypeColumn:
      return icons.type(QFileInfo(item->path));
    case kModifiedColumn:
      return QLocale().toString(QFileInfo(item->path).lastModified(), QLocale::ShortFormat);
    default:
      return {};
  }
}

void TTeCustomShellListView::ExecuteCommand(const QString& verb, const QString& path) {
  if (verb != QLatin1String("open") || path.isEmpty()) return;
  if (QFileInfo(path).isDir())
    SetRoot(path);
  else
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void TTeCustomShellListView::SelectionChanged() {
  const QModelIndex current = currentIndex();
  if (current.isValid() && selectionModel()->isRowSelected(current.row(), QModelIndex())) {
    selectedPath_ = ItemPath(current.row());
    if (OnSelectItem) OnSelectItem(selectedPath_, true);
  } else if (!selectedPath_.isEmpty()) {
    const QString deselected = selectedPath_;
    selectedPath_.clear();
    if (OnSelectItem) OnSelectItem(deselected, false);
  }
}

void TTeCustomShellListView::keyPressEvent(QKeyEvent* event) {
  if (OnKeyDown) OnKeyDown(event->key());
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && currentIndex().isValid()) {
    ExecuteCommand(QStringLiteral("open"), ItemPath(currentIndex().row()));
    return;
  }
  QTableView::keyPressEvent(event);
}

void TTeCustomShellListView::dragEnterEvent(QDragEnterEvent* event) { dragMoveEvent(event); }

void TTeCustomShellListView::dragMoveEvent(QDragMoveEvent* event) {
  if (OnDragOver && OnDragOver(event->source()))
    event->acceptProposedAction();
  else
    event->ignore();
}

void TTeCustomShellListView::dropEvent(QDropEvent* event) {
  if (!OnDragOver || !OnDragOver(event->source())) {
    event->ignore();
    return;
  }
  event->acceptProposedAction();
  if (OnDragDrop) OnDragDrop(event->source());
}

std::string LocalPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

QString QtPath(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }

QString SizeInMbText(std::uint64_t bytes) {
  const float mb = static_cast<float>(bytes) / 1048576.0f;
  if (mb >= 10.0f) return QString::asprintf("%dMB", static_cast<int>(mb));
  if (mb >= 0.1f) return QString::asprintf("%.1fMB", static_cast<double>(mb));
  return QStringLiteral("0MB");
}

std::function<void()> TTeMyShellListView::OnRootChange;
std::function<std::string(const std::string& path)> TTeMyShellListView::GetTitle;

TTeMyShellListView::TTeMyShellListView(QWidget* parent) : TTeCustomShellListView(parent) {
  SetColumnTitle(kTypeColumn, QStringLiteral("Title"));
}

void TTeMyShellListView::RemoveCache(const QString& path) { titleCache_.erase(path); }

QString TTeMyShellListView::Title(const QString& path) {
  auto it = titleCache_.find(path);
  if (it != titleCache_.end()) return it->second;
  const QString title =
      GetTitle ? QString::fromStdString(GetTitle(LocalPath(path))) : QStringLiteral(" ");
  titleCache_.emplace(path, title);
  return title;
}

QVariant TTeMyShellListView::OwnerDataFetch(int row, int column, int role) {
  if (role != Qt::DisplayRole || row < 0 || row >= ItemCount())
    return TTeCustomShellListView::OwnerDataFetch(row, column, role);
  // Any text of an item brings its title into the cache, so the title is
  // known once the item has been shown, whichever columns are in view.
  const QString path = ItemPath(row);
  const QString title = Title(path);
  if (column == kTypeColumn) return title;
  if (column == kSizeColumn) return ItemIsFolder(row) ? QString() : SizeInMbText(FileSizeBytes(path));
  return TTeCustomShellListView::OwnerDataFetch(row, column, role);
}

void TTeMyShellListView::RootChanged() {
  titleCache_.clear();
  TTeCustomShellListView::RootChanged();
  if (OnRootChange) OnRootChange();
}

void TTeMyShellListView::ExecuteCommand(const QString& verb, const QString& path) {
  WriteLog("%s", verb.toUtf8().constData());
  TTeCustomShellListView::ExecuteCommand(verb, path);
}
