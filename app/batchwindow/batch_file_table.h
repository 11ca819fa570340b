#pragma once
// The batch window's list of files: one row per file with its name, length,
// state, progress and the engine's message, found by the id the batch queue
// gave the file.
#include <QTableWidget>
#include <QString>
#include <QVector>

class BatchFileTable : public QTableWidget {
  Q_OBJECT

 public:
  enum Column { kName, kLength, kState, kProgress, kMessage, kColumns };

  explicit BatchFileTable(QWidget* parent = nullptr);

  // A new row for the file of id (state "Waiting").
  void AddFile(int id, const QString& path);
  void RemoveFile(int id);
  // The row of id, or -1.
  int RowOf(int id) const;
  int IdAt(int row) const;
  QString PathOf(int id) const;
  // The ids of the selected rows, in the list's order.
  QVector<int> SelectedIds() const;

  void SetLength(int id, const QString& text);
  void SetState(int id, const QString& state);
  void SetProgress(int id, int percent);
  void SetMessage(int id, const QString& text);
  QString Text(int id, Column column) const;
  int Progress(int id) const;

 private:
  void SetText(int id, Column column, const QString& text);
};
