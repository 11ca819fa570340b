#include "app/batchwindow/batch_worker.h"

#include <QMessageBox>
#include <QMetaObject>
#include <QPointer>
#include <QWidget>

#include <chrono>
#include <future>
#include <memory>

#include "app/batch/batch_converter.h"
#include "app/window/qt_text.h"
#include "platform/core/fpu.h"

namespace {
// How often a question's wait looks at the stop request.
constexpr auto kAskPoll = std::chrono::milliseconds(100);
}  // namespace

BatchWorker::BatchWorker(QWidget* window) : window_(window) {}

BatchWorker::~BatchWorker() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
}

void BatchWorker::Start(const BatchOptions& options, BatchQueue& queue) {
  if (running_) return;
  if (thread_.joinable()) thread_.join();
  stop_ = false;
  running_ = true;
  thread_ = std::thread([this, options, &queue] {
    SetFpu53BitMasked();
    const int status = RunBatch(options, queue, *this, [this] { return stop_.load(); });
    running_ = false;
    emit finished(status);
  });
}

void BatchWorker::Info(const std::string& text) {
  // Within a file the steps are shown by the file's row.
  if (currentId_ < 0) emit batchMessage(Q(text), false);
}

void BatchWorker::Error(const std::string& text) {
  if (currentId_ >= 0) emit fileMessage(currentId_, Q(WithoutSource(text)), false);
  else emit batchMessage(Q(text), true);
}

void BatchWorker::Progress(const std::string& line, int percent) { emit fileProgress(currentId_, Q(line), percent); }

bool BatchWorker::Ask(const std::string& question) {
  // The box is shown on the window's thread; the batch waits for the answer
  // and takes a stop request meanwhile as a No.
  auto answer = std::make_shared<std::promise<bool>>();
  std::future<bool> said = answer->get_future();
  QPointer<QWidget> window(window_);
  QMetaObject::invokeMethod(
      window_,
      [window, answer, question] {
        const auto button = QMessageBox::question(window, "Corvane Video Converter (Batch Mode)", Q(question),
                                                  QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
        answer->set_value(button == QMessageBox::Yes);
      },
      Qt::QueuedConnection);
  while (said.wait_for(kAskPoll) != std::future_status::ready)
    if (stop_) return false;
  return said.get();
}

void BatchWorker::FileBegins(const BatchItem& item) {
  currentSource_ = item.source;
  currentId_ = item.id;
  emit fileBegins(item.id);
}

void BatchWorker::FileOutput(const BatchItem& item, const std::string& output) { emit fileOutput(item.id, Q(output)); }

void BatchWorker::FileFailed(const std::string& /*source*/, const std::string& why) {
  emit fileMessage(currentId_, Q(why), true);
}

void BatchWorker::FileEnds(const BatchItem& item, const FileOutcome& outcome) {
  emit fileEnds(item.id, outcome.converted, outcome.stopped, outcome.videoSeconds, outcome.wallSeconds);
  currentId_ = -1;
}

void BatchWorker::BatchEnds(const std::string& summary) { emit batchEnds(Q(summary)); }

std::string BatchWorker::WithoutSource(const std::string& text) const {
  const std::string prefix = currentSource_ + ": ";
  return text.rfind(prefix, 0) == 0 ? text.substr(prefix.size()) : text;
}
