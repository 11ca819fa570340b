// The screen saver kept away through a conversion started from the main
// window, against a screen saver service of the test's own on a private
// session bus: asked for when Convert is pressed, without the window
// waiting for the answer, held from a connection that stays on the bus for
// the whole conversion, and released with its own cookie at the end.
// GIO first: its headers name a member "signals", which Qt makes a macro.
#include "tests/desktop_support/fake_screen_saver.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <memory>

#include "app/window/finished_recording.h"
#include "app/window/lumivault_form.h"
#include "core/frame_state.h"
#include "platform/desktop/screen_saver.h"
#include "tests/fixtures/fixtures.h"
#include "tests/support/fresh_user.h"
#include "tests/support/qt_psp_output.h"
#include "tests/support/test_support.h"

class WindowScreenSaverTest : public QObject {
  Q_OBJECT

 private slots:
  void AConversionKeepsTheScreenSaverAwayUntilItsEnd() {
    PrivateBus bus;
    if (bus.address.empty() || bus.pid <= 0) QSKIP("dbus-daemon is not installed");
    FreshUser user;
    setenv("DBUS_SESSION_BUS_ADDRESS", bus.address.c_str(), 1);
    FakeScreenSaver service(bus.address);
    QVERIFY(service.ok());
    ScriptedMessageBox box;
    const std::string clip = user.Temp() + "/clip.mp4", out = user.Home() + "/out";
    QCOMPARE(MakeFixture(FixtureKind::kH264AacMp4, clip, 4.0), std::string());
    QVERIFY(QDir().mkpath(QString::fromStdString(out)));

    WindowOptions options;
    options.programFolder = user.ProgramFolder();
    options.installMessageBox = false;
    TLumivaultForm form(options);
    form.CreateSmallForms();
    form.show();
    form.OutputFolderEdit->setText(QString::fromStdString(out + "/"));
    form.ProfileCombo->setCurrentIndex(form.ProfileCombo->findText("PSP MPEG-4 320x240"));
    form.ProfileComboChange();
    QTimer closer;  // the finished notice is read and closed
    connect(&closer, &QTimer::timeout, [&] {
      if (form.FinishedRecording->isVisible()) form.FinishedRecording->Button1->click();
    });
    closer.start(20);

    form.OpenVideoFile(QString::fromStdString(clip));
    QCOMPARE(Frame().SourceReadiness, 2);
    form.MovePositionLow(0);
    QTest::mouseClick(form.StartRecordingButton, Qt::LeftButton);
    // The window is back from the press while the service still holds the
    // inhibit call unanswered.
    QVERIFY(Frame().IsRecording);
    std::vector<ScreenSaverCall> calls = service.CallsOnceThereAre(1);
    QCOMPARE(calls.size(), size_t{1});
    QVERIFY(service.AnswerHeldInhibit(41));
    QVERIFY(ScreenSaverInhibitedAfterPendingCalls());
    QCOMPARE(calls[0].method, std::string("Inhibit"));
    QCOMPARE(calls[0].application, std::string("Corvane Video Converter"));
    QCOMPARE(calls[0].reason, std::string("Converting a video"));

    QElapsedTimer waited;  // a guard against a hang, not a measure of speed
    waited.start();
    while ((Frame().IsRecording || form.FinishedRecording->isVisible()) && waited.elapsed() < 120000)
      QTest::qWait(10);
    QVERIFY(!Frame().IsRecording);
    // Held through the conversion: the inhibiting connection is still on
    // the bus, and the release came from it with the cookie.
    QVERIFY(service.OnTheBus(calls[0].sender));
    calls = service.CallsOnceThereAre(2);
    QCOMPARE(calls.size(), size_t{2});
    QCOMPARE(calls[1].method, std::string("UnInhibit"));
    QCOMPARE(calls[1].cookie, 41u);
    QCOMPARE(calls[1].sender, calls[0].sender);
    QVERIFY(!ScreenSaverInhibitedAfterPendingCalls());
    ExpectQtPspOutput(out + "/M4V20001.MP4", 4.0, "mpeg4");
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
  }
};

QTEST_MAIN(WindowScreenSaverTest)
#include "test_window_screen_saver.moc"
