// The desktop program as a process, as a desktop starts it: a file named on
// its command line opens, and SIGTERM or Ctrl-C (SIGINT) ends it the way
// its close does, with the window's place saved and "Exit" logged.
#include <QProcess>
#include <QTest>
#include <csignal>
#include <memory>
#include <string>

#include "platform/registry/registry.h"
#include "tests/fixtures/fixtures.h"
#include "tests/support/fresh_user.h"
#include "tests/support/test_support.h"

class CorvaneProgramTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QVERIFY(clips.isValid());
    QCOMPARE(MakeFixture(FixtureKind::kH264AacMp4, Clip(), 20.0), std::string());
  }

  void init() { user = std::make_unique<FreshUser>(); }
  void cleanup() {
    if (program.state() != QProcess::NotRunning) {
      program.kill();
      program.waitForFinished();
    }
    user.reset();
  }

  void EndsOnASignalAsItsCloseDoes_data() {
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGTERM") << SIGTERM;
    QTest::newRow("SIGINT") << SIGINT;
  }

  // The file given as the only argument plays (the sound output included,
  // whose library would take the signals for itself); the signal then ends
  // the program normally.
  void EndsOnASignalAsItsCloseDoes() {
    QFETCH(int, signal);
    // A sound output with no device behind it, so that it starts here too.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("SDL_AUDIODRIVER", "dummy");
    env.insert("QT_QPA_PLATFORM", "offscreen");
    program.setProcessEnvironment(env);
    program.start("./corvane", {QString::fromStdString(Clip())});
    QVERIFY(program.waitForStarted());
    QVERIFY2(WaitForLog("Play...."), Log().c_str());
    QVERIFY(Log().find("Rendering " + Clip()) != std::string::npos);
    ::kill(static_cast<pid_t>(program.processId()), signal);
    QVERIFY(program.waitForFinished(60000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    const std::string log = Log();
    QVERIFY2(log.find("Exit") != std::string::npos, log.c_str());
    QVERIFY2(ReadFileBytes(RegistryFilePath()).find("WindowSize") != std::string::npos,
             ReadFileBytes(RegistryFilePath()).c_str());
  }

 private:
  std::string Clip() const { return clips.path().toStdString() + "/clip.mp4"; }

  // The program's diagnostic log, decoded.
  std::string Log() const { return RunCommand("./corvane-log '" + user->Temp() + "/Corvane.elog' 2>/dev/null"); }

  bool WaitForLog(const std::string& text) {
    for (int i = 0; i < 600; ++i) {
      if (Log().find(text) != std::string::npos) return true;
      if (program.state() == QProcess::NotRunning) return false;
      QTest::qWait(100);
    }
    return false;
  }

  QTemporaryDir clips{(qEnvironmentVariableIsEmpty("CORVANE_TEST_TMP") ? QDir::tempPath()
                                                                      : qEnvironmentVariable("CORVANE_TEST_TMP")) +
                      "/corvane-clips-XXXXXX"};
  std::unique_ptr<FreshUser> user;
  QProcess program;
};

QTEST_GUILESS_MAIN(CorvaneProgramTest)
#include "test_corvane_program.moc"
