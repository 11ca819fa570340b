#include "app/window/qt_message_dlg.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>

#include "core/diag_log.h"

const char* MessageKindCaption(MsgKind kind) {
  switch (kind) {
    case MsgKind::Warning: return "Warning";
    case MsgKind::Error: return "Error";
    case MsgKind::Information: return "Information";
    case MsgKind::Confirmation: return "Confirm";
  }
  return "";
}

namespace {
QMessageBox::Icon KindIcon(MsgKind kind) {
  switch (kind) {
    case MsgKind::Warning: return QMessageBox::Warning;
    case MsgKind::Error: return QMessageBox::Critical;
    case MsgKind::Information: return QMessageBox::Information;
    case MsgKind::Confirmation: return QMessageBox::Question;
  }
  return QMessageBox::NoIcon;
}

// Places the box's centre on the owner's centre once its size is known.
void CentreOn(QMessageBox& box, QWidget* owner) {
  if (!owner) return;
  box.adjustSize();
  QRect frame = owner->frameGeometry();
  box.move(frame.center() - QPoint(box.width() / 2, box.height() / 2));
}

int RefusingAnswer(unsigned buttons) {
  if (buttons & mbNo) return mrNo;
  if (buttons & mbCancel) return mrCancel;
  return mrOk;
}
}  // namespace

// One question from another thread. The application's thread takes it up
// (or finds it withdrawn) and answers it; the asker waits on it.
struct CrossThreadQuestion {
  enum class State { Queued, TakenUp, Withdrawn, Answered };
  std::string text;
  MsgKind kind = MsgKind::Confirmation;
  unsigned buttons = 0;
  std::mutex m;  // guards state and result
  std::condition_variable cv;
  State state = State::Queued;
  int result = mrNo;
};

// The questions of other threads, handed over under a lock of their own
// and taken up one by one on the application's thread.
class CrossThreadQuestions : public QObject {
  Q_OBJECT

 public:
  explicit CrossThreadQuestions(QtMessageDlg& dlg) : dlg_(dlg) {}

  // Any thread.
  void Queue(std::shared_ptr<CrossThreadQuestion> q) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      queue_.push_back(std::move(q));
    }
    QMetaObject::invokeMethod(this, "TakeUp", Qt::QueuedConnection);
  }

 private slots:
  void TakeUp() {
    using State = CrossThreadQuestion::State;
    std::shared_ptr<CrossThreadQuestion> q;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (queue_.empty()) return;
      q = queue_.front();
      queue_.pop_front();
    }
    {
      std::lock_guard<std::mutex> lock(q->m);
      if (q->state != State::Queued) return;
      q->state = State::TakenUp;
    }
    int result = mrNo;
    const auto show = [&] { result = dlg_.ShowHere(q->text, q->kind, q->buttons); };
    if (dlg_.crossThreadScope_) dlg_.crossThreadScope_(show);
    else show();
    std::lock_guard<std::mutex> lock(q->m);
    q->result = result;
    q->state = State::Answered;
    q->cv.notify_all();
  }

 private:
  QtMessageDlg& dlg_;
  std::mutex mutex_;  // guards queue_
  std::deque<std::shared_ptr<CrossThreadQuestion>> queue_;
};

QtMessageDlg::QtMessageDlg(QWidget* owner)
    : owner_(owner), questions_(std::make_unique<CrossThreadQuestions>(*this)) {}

QtMessageDlg::~QtMessageDlg() = default;

int QtMessageDlg::Show(const std::string& text, MsgKind kind, unsigned buttons) {
  if (QThread::currentThread() == questions_->thread()) return ShowHere(text, kind, buttons);
  return ShowFromOtherThread(text, kind, buttons);
}

int QtMessageDlg::ShowFromOtherThread(const std::string& text, MsgKind kind, unsigned buttons) {
  using State = CrossThreadQuestion::State;
  auto q = std::make_shared<CrossThreadQuestion>();
  q->text = text;
  q->kind = kind;
  q->buttons = buttons;
  questions_->Queue(q);
  std::unique_lock<std::mutex> lock(q->m);
  if (!q->cv.wait_for(lock, std::chrono::milliseconds(kPickUpMs), [&] { return q->state != State::Queued; })) {
    q->state = State::Withdrawn;
    WriteLog("Message not shown, the window is busy: %s", text.c_str());
    return RefusingAnswer(buttons);
  }
  // Taken up: the user's answer, however long it takes.
  q->cv.wait(lock, [&] { return q->state == State::Answered; });
  return q->result;
}

int QtMessageDlg::ShowHere(const std::string& text, MsgKind kind, unsigned buttons) {
  QMessageBox box(owner_.data());
  box.setWindowTitle(MessageKindCaption(kind));
  box.setIcon(KindIcon(kind));
  box.setText(QString::fromStdString(text).trimmed());
  struct Choice {
    unsigned bit;
    QMessageBox::StandardButton button;
    int result;
  };
  const Choice choices[] = {{mbYes, QMessageBox::Yes, mrYes},
                            {mbNo, QMessageBox::No, mrNo},
                            {mbOK, QMessageBox::Ok, mrOk},
                            {mbCancel, QMessageBox::Cancel, mrCancel}};
  for (const Choice& c : choices)
    if (buttons & c.bit) box.addButton(c.button);
  if (buttons == 0) box.addButton(QMessageBox::Ok);
  // Closing the box with its title bar counts as the refusing button.
  if (buttons & mbCancel) box.setEscapeButton(QMessageBox::Cancel);
  else if (buttons & mbNo) box.setEscapeButton(QMessageBox::No);
  CentreOn(box, owner_.data());
  box.exec();
  QAbstractButton* clicked = box.clickedButton();
  for (const Choice& c : choices)
    if (clicked && clicked == box.button(c.button)) return c.result;
  if (buttons & mbCancel) return mrCancel;
  if (buttons & mbNo) return mrNo;
  return mrOk;
}

void QtMessageDlg::SystemBox(const std::string& text, const std::string& caption) {
  if (QThread::currentThread() != questions_->thread()) {
    WriteLog("%s: %s", caption.c_str(), text.c_str());
    return;
  }
  QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(caption), QString::fromStdString(text),
                  QMessageBox::Ok, owner_.data());
  CentreOn(box, owner_.data());
  box.exec();
}

#include "qt_message_dlg.moc"
