// The themed message box behind ShowMessageDlg: the asked buttons, the
// pressed one's result, the refusing answer for a closed box, and its
// place on the main window.
#include <QApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

#include "app/window/qt_message_dlg.h"

namespace {
// Acts on the box once it is up, however long it takes to come.
void WhenBoxShows(const std::function<void(QMessageBox*)>& act) {
  auto* poll = new QTimer;
  QObject::connect(poll, &QTimer::timeout, [poll, act] {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
        poll->stop();
        poll->deleteLater();
        act(box);
        return;
      }
  });
  poll->start(5);
}

bool AnyBoxVisible() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (qobject_cast<QMessageBox*>(w) && w->isVisible()) return true;
  return false;
}

// Acts on the box once it is up.
void WhenBoxIsUp(const std::function<void(QMessageBox*)>& act) {
  QTimer::singleShot(0, [act] {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) act(box);
  });
}
}  // namespace

class QtMessageDlgTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    main.setGeometry(100, 100, 713, 520);
    main.show();
    SetMessageDlgHandler(&handler);
  }
  void cleanup() { SetMessageDlgHandler(nullptr); }

  void ReturnsTheButtonPressed() {
    QStringList shown;
    QPoint centre;
    WhenBoxIsUp([&](QMessageBox* box) {
      shown << box->windowTitle() << box->text();
      for (QAbstractButton* b : box->buttons()) shown << b->text().remove('&');
      centre = box->frameGeometry().center();
      box->button(QMessageBox::Yes)->click();
    });
    QCOMPARE(ShowMessageDlg("Stop recording?\n", MsgKind::Confirmation, mbYes | mbNo), mrYes);
    QCOMPARE(shown.mid(0, 2), QStringList({"Confirm", "Stop recording?"}));
    QVERIFY(shown.contains("Yes") && shown.contains("No") && !shown.contains("OK"));
    QVERIFY((centre - main.frameGeometry().center()).manhattanLength() <= 2);
  }

  void EscapeGivesTheRefusingAnswer() {
    WhenBoxIsUp([](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); });
    QCOMPARE(ShowMessageDlg("Overwrite?", MsgKind::Confirmation, mbYes | mbNo), mrNo);
    WhenBoxIsUp([](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); });
    QCOMPARE(ShowMessageDlg("Go on?", MsgKind::Warning, mbOK | mbCancel), mrCancel);
  }

  // The encoder asks from the capture thread whether to overwrite the next
  // part file: the box comes up on the application's thread and the asking
  // thread gets the button pressed.
  void AQuestionFromAnotherThreadIsShownOnTheApplicationsThread() {
    bool onAppThread = false;
    QString text;
    WhenBoxShows([&](QMessageBox* box) {
      onAppThread = QThread::currentThread() == qApp->thread() && box->thread() == qApp->thread();
      text = box->text();
      box->button(QMessageBox::Yes)->click();
    });
    std::atomic<int> answer{0};
    std::thread asker([&] {
      answer = ShowMessageDlg("/out/M4V20001 - 02.MP4 already exits. Overwrite?", MsgKind::Confirmation, mbYes | mbNo);
    });
    QTRY_VERIFY_WITH_TIMEOUT(answer != 0, 5000);
    asker.join();
    QCOMPARE(answer.load(), mrYes);
    QVERIFY(onAppThread);
    QCOMPARE(text, QString("/out/M4V20001 - 02.MP4 already exits. Overwrite?"));
  }

  // The application's thread waits for the asker (as the stop of a
  // conversion waits for the capture lock the asker holds): the asker gets
  // the refusing answer instead of waiting forever, and no box comes up
  // afterwards for a question nobody waits for any more.
  void AnAskerWhomTheApplicationWaitsForIsRefusedWithoutADeadlock() {
    std::mutex captureLock;
    std::atomic<bool> asking{false};
    std::atomic<int> answer{0};
    std::thread asker([&] {
      std::lock_guard<std::mutex> hold(captureLock);
      asking = true;
      answer = ShowMessageDlg("Overwrite?", MsgKind::Confirmation, mbYes | mbNo);
    });
    while (!asking) std::this_thread::yield();
    QElapsedTimer waited;
    waited.start();
    { std::lock_guard<std::mutex> wait(captureLock); }
    asker.join();
    QCOMPARE(answer.load(), mrNo);
    QVERIFY(waited.elapsed() >= QtMessageDlg::kPickUpMs - 50);
    QCoreApplication::processEvents();
    QVERIFY(!AnyBoxVisible());
  }

  void NoticeHasOkAndTheKindsCaption() {
    QString title;
    WhenBoxIsUp([&](QMessageBox* box) {
      title = box->windowTitle();
      box->button(QMessageBox::Ok)->click();
    });
    QCOMPARE(ShowMessageDlg("No profile selected", MsgKind::Information, mbOK), mrOk);
    QCOMPARE(title, QString("Information"));
    QCOMPARE(std::string(MessageKindCaption(MsgKind::Error)), std::string("Error"));
  }

 private:
  QWidget main;
  QtMessageDlg handler{&main};
};

QTEST_MAIN(QtMessageDlgTest)
#include "test_qt_message_dlg.moc"
