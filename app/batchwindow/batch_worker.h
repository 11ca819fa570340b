#pragma once
// Runs the batch for the batch window on a thread of its own, so the window
// stays responsive while the engine converts, and turns what the batch
// reports into signals that reach the window on its own thread.
#include <QObject>
#include <QString>

#include <atomic>
#include <string>
#include <thread>

#include "app/batch/batch_options.h"
#include "app/batch/batch_queue.h"
#include "app/batch/batch_report.h"

class QWidget;

class BatchWorker : public QObject, private BatchReport {
  Q_OBJECT

 public:
  // Questions of the engine are asked in boxes over window.
  explicit BatchWorker(QWidget* window);
  // Stops a batch under way and waits for it to end.
  ~BatchWorker() override;
  BatchWorker(const BatchWorker&) = delete;
  BatchWorker& operator=(const BatchWorker&) = delete;

  // Starts converting what queue holds (and what is added to it meanwhile);
  // finished() follows at the end. Nothing happens while a batch runs.
  void Start(const BatchOptions& options, BatchQueue& queue);
  // Asks the batch to stop: the file under way is finished up to where it
  // got, as Ctrl-C does in batchvc, and no other file is started.
  void RequestStop() { stop_ = true; }
  bool Running() const { return running_; }

 signals:
  void fileBegins(int id);
  void fileOutput(int id, const QString& output);
  void fileProgress(int id, const QString& line, int percent);
  // A message of the engine or the batch about the file: why it failed (or
  // was cut short), or a notice beside a success.
  void fileMessage(int id, const QString& text, bool failure);
  void fileEnds(int id, bool converted, bool stopped, double videoSeconds, double wallSeconds);
  // A step of the batch or a failure that concerns no single file.
  void batchMessage(const QString& text, bool error);
  void batchEnds(const QString& summary);
  void finished(int status);

 private:
  void Info(const std::string& text) override;
  void Error(const std::string& text) override;
  void Progress(const std::string& line, int percent) override;
  void EndProgress() override {}
  bool Ask(const std::string& question) override;
  void FileBegins(const BatchItem& item) override;
  void FileOutput(const BatchItem& item, const std::string& output) override;
  void FileFailed(const std::string& source, const std::string& why) override;
  void FileEnds(const BatchItem& item, const FileOutcome& outcome) override;
  void BatchEnds(const std::string& summary) override;
  // The message without the "<source>: " the batch puts in front of it.
  std::string WithoutSource(const std::string& text) const;

  QWidget* window_;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> running_{false};  // written by the window's thread and the batch's
  // Written by the batch's thread, read there and by the engine's threads.
  std::atomic<int> currentId_{-1};
  std::string currentSource_;  // the batch's thread only
};
