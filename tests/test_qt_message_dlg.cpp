// The themed message box behind ShowMessageDlg: the asked buttons, the
// pressed one's result, the refusing answer for a closed box, and its
// place on the main window.
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

#include "app/window/qt_message_dlg.h"

namespace {
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
