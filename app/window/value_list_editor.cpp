#include "app/window/value_list_editor.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QStyledItemDelegate>

namespace {
constexpr int kPickListRole = Qt::UserRole;
constexpr int kReadOnlyRole = Qt::UserRole + 1;

// A value cell whose tool tip is its whole text: a long value ("Windows
// Media Video 9") is cut at the column's edge.
class ValueItem : public QTableWidgetItem {
 public:
  using QTableWidgetItem::QTableWidgetItem;
  QVariant data(int role) const override {
    if (role == Qt::ToolTipRole) return text();
    return QTableWidgetItem::data(role);
  }
};

// Edits value cells: a combo box for pick lists (committed as soon as an
// item is picked), a line edit for text cells.
class ValueCellDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                        const QModelIndex& index) const override {
    QStringList items = index.data(kPickListRole).toStringList();
    bool readOnly = index.data(kReadOnlyRole).toBool();
    if (items.isEmpty()) {
      if (readOnly) return nullptr;
      return QStyledItemDelegate::createEditor(parent, option, index);
    }
    auto* combo = new QComboBox(parent);
    combo->setEditable(!readOnly);
    combo->addItems(items);
    combo->setFrame(false);
    connect(combo, &QComboBox::activated, this, [this, combo] {
      auto* self = const_cast<ValueCellDelegate*>(this);
      emit self->commitData(combo);
      emit self->closeEditor(combo);
    });
    return combo;
  }

  void setEditorData(QWidget* editor, const QModelIndex& index) const override {
    if (auto* combo = qobject_cast<QComboBox*>(editor)) {
      QString value = index.data(Qt::EditRole).toString();
      int i = combo->findText(value);
      if (i >= 0) combo->setCurrentIndex(i);
      else if (combo->isEditable()) combo->setEditText(value);
      return;
    }
    QStyledItemDelegate::setEditorData(editor, index);
  }

  void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override {
    if (auto* combo = qobject_cast<QComboBox*>(editor)) {
      QString text = combo->currentText();
      if (model->data(index, Qt::EditRole).toString() != text) model->setData(index, text, Qt::EditRole);
      return;
    }
    if (auto* line = qobject_cast<QLineEdit*>(editor)) {
      if (model->data(index, Qt::EditRole).toString() != line->text())
        model->setData(index, line->text(), Qt::EditRole);
      return;
    }
    QStyledItemDelegate::setModelData(editor, model, index);
  }
};
}  // namespace

ValueListEditor::ValueListEditor(const QString& keyTitle, QWidget* parent) : QTableWidget(0, 2, parent) {
  setHorizontalHeaderLabels({keyTitle, "Value"});
  verticalHeader()->hide();
  verticalHeader()->setDefaultSectionSize(18);
  verticalHeader()->setMinimumSectionSize(16);
  horizontalHeader()->setFixedHeight(18);
  horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  horizontalHeader()->setSectionResizeMode(0, QHeaderView::Fixed);
  horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
  horizontalHeader()->setHighlightSections(false);
  setColumnWidth(0, 64);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectItems);
  setEditTriggers(QAbstractItemView::CurrentChanged | QAbstractItemView::SelectedClicked |
                  QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setItemDelegateForColumn(1, new ValueCellDelegate(this));
  connect(this, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
    if (item->column() == 1) emit valueChanged(item->row());
  });
}

void ValueListEditor::SetKeys(const QStringList& keys) {
  QSignalBlocker quiet(this);
  setRowCount(0);
  setRowCount(static_cast<int>(keys.size()));
  for (int row = 0; row < keys.size(); ++row) {
    auto* key = new QTableWidgetItem(keys[row]);
    key->setFlags(Qt::ItemIsEnabled);
    setItem(row, 0, key);
    setItem(row, 1, new ValueItem(QString()));
  }
}

QStringList ValueListEditor::Keys() const {
  QStringList keys;
  for (int row = 0; row < rowCount(); ++row) keys << Key(row);
  return keys;
}

QString ValueListEditor::Key(int row) const {
  const QTableWidgetItem* it = item(row, 0);
  return it ? it->text() : QString();
}

int ValueListEditor::RowOf(const QString& key) const {
  for (int row = 0; row < rowCount(); ++row)
    if (Key(row) == key) return row;
  return -1;
}

QString ValueListEditor::Value(int row) const {
  const QTableWidgetItem* it = item(row, 1);
  return it ? it->text() : QString();
}

void ValueListEditor::SetValue(int row, const QString& value) {
  if (QTableWidgetItem* it = item(row, 1)) it->setText(value);
}

void ValueListEditor::SetPickList(int row, const QStringList& items) {
  QSignalBlocker quiet(this);  // a cell's properties are no change of its value
  if (QTableWidgetItem* it = item(row, 1)) it->setData(kPickListRole, items);
}

QStringList ValueListEditor::PickList(int row) const {
  const QTableWidgetItem* it = item(row, 1);
  return it ? it->data(kPickListRole).toStringList() : QStringList();
}

void ValueListEditor::SetReadOnly(int row, bool readOnly) {
  QSignalBlocker quiet(this);
  if (QTableWidgetItem* it = item(row, 1)) it->setData(kReadOnlyRole, readOnly);
}

bool ValueListEditor::IsReadOnly(int row) const {
  const QTableWidgetItem* it = item(row, 1);
  return it && it->data(kReadOnlyRole).toBool();
}
