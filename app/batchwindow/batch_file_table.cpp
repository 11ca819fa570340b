#include "app/batchwindow/batch_file_table.h"

#include <QFileInfo>
#include <QHeaderView>
#include <QProgressBar>

namespace {
// The id of a row's file sits in its name cell.
constexpr int kIdRole = Qt::UserRole;
constexpr int kPathRole = Qt::UserRole + 1;
}  // namespace

BatchFileTable::BatchFileTable(QWidget* parent) : QTableWidget(0, kColumns, parent) {
  setHorizontalHeaderLabels({"File", "Length", "State", "Progress", "Message"});
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setWordWrap(false);
  verticalHeader()->hide();
  QHeaderView* header = horizontalHeader();
  header->setSectionResizeMode(kName, QHeaderView::Interactive);
  header->setSectionResizeMode(kMessage, QHeaderView::Stretch);
  setColumnWidth(kName, 220);
  setColumnWidth(kLength, 64);
  setColumnWidth(kState, 84);
  setColumnWidth(kProgress, 110);
}

void BatchFileTable::AddFile(int id, const QString& path) {
  const int row = rowCount();
  insertRow(row);
  auto* name = new QTableWidgetItem(QFileInfo(path).fileName());
  name->setData(kIdRole, id);
  name->setData(kPathRole, path);
  name->setToolTip(path);
  setItem(row, kName, name);
  for (Column c : {kLength, kState, kMessage}) setItem(row, c, new QTableWidgetItem());
  auto* bar = new QProgressBar(this);
  bar->setRange(0, 100);
  bar->setValue(0);
  setCellWidget(row, kProgress, bar);
  SetLength(id, "-");
  SetState(id, "Waiting");
}

void BatchFileTable::RemoveFile(int id) {
  const int row = RowOf(id);
  if (row >= 0) removeRow(row);
}

int BatchFileTable::RowOf(int id) const {
  for (int row = 0; row < rowCount(); ++row)
    if (IdAt(row) == id) return row;
  return -1;
}

int BatchFileTable::IdAt(int row) const {
  const QTableWidgetItem* name = item(row, kName);
  return name ? name->data(kIdRole).toInt() : -1;
}

QString BatchFileTable::PathOf(int id) const {
  const int row = RowOf(id);
  return row < 0 ? QString() : item(row, kName)->data(kPathRole).toString();
}

QVector<int> BatchFileTable::SelectedIds() const {
  QVector<int> ids;
  for (int row = 0; row < rowCount(); ++row)
    if (selectionModel()->isRowSelected(row, QModelIndex())) ids << IdAt(row);
  return ids;
}

void BatchFileTable::SetText(int id, Column column, const QString& text) {
  const int row = RowOf(id);
  if (row < 0) return;
  item(row, column)->setText(text);
  item(row, column)->setToolTip(text);
}

void BatchFileTable::SetLength(int id, const QString& text) { SetText(id, kLength, text); }
void BatchFileTable::SetState(int id, const QString& state) { SetText(id, kState, state); }
void BatchFileTable::SetMessage(int id, const QString& text) { SetText(id, kMessage, text); }

void BatchFileTable::SetProgress(int id, int percent) {
  const int row = RowOf(id);
  if (row < 0) return;
  if (auto* bar = qobject_cast<QProgressBar*>(cellWidget(row, kProgress))) bar->setValue(percent);
}

QString BatchFileTable::Text(int id, Column column) const {
  const int row = RowOf(id);
  return row < 0 ? QString() : item(row, column)->text();
}

int BatchFileTable::Progress(int id) const {
  const int row = RowOf(id);
  const auto* bar = row < 0 ? nullptr : qobject_cast<QProgressBar*>(cellWidget(row, kProgress));
  return bar ? bar->value() : -1;
}
