#pragma once
// A two-column list of named values ("Key" and "Value") whose value cells
// are plain text, or pick lists that may be typed into or only picked from.
#include <QStringList>
#include <QTableWidget>

class ValueListEditor : public QTableWidget {
  Q_OBJECT

 public:
  explicit ValueListEditor(const QString& keyTitle, QWidget* parent = nullptr);

  // Replaces every row by one row per key, with empty values.
  void SetKeys(const QStringList& keys);
  QStringList Keys() const;
  QString Key(int row) const;
  // The row of a key, or -1.
  int RowOf(const QString& key) const;
  QString Value(int row) const;
  void SetValue(int row, const QString& value);
  // A non-empty pick list makes the cell a drop-down list.
  void SetPickList(int row, const QStringList& items);
  QStringList PickList(int row) const;
  // A read-only pick list can only be picked from; a read-only text cell
  // cannot be edited at all.
  void SetReadOnly(int row, bool readOnly);
  bool IsReadOnly(int row) const;

 signals:
  // A value cell changed, by the user or by SetValue.
  void valueChanged(int row);
};
