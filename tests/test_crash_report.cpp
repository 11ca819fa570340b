// The crash report: a fatal signal leaves "Corvane.elf" in the temporary
// folder (or beside the program when that cannot be written) and the log
// line "*** Exception Catched ***", and still ends the process by the signal.
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

#include "core/diag_log.h"
#include "app/window/crash_report.h"

namespace {
std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Runs a child that installs the report and crashes; returns its status.
int CrashChild(const std::string& tmp, const std::string& programFolder, const std::string& log, int sig) {
  pid_t pid = fork();
  if (pid == 0) {
    setenv("TMPDIR", tmp.c_str(), 1);
    SetLogFilePath(log);
    InstallCrashReport(programFolder);
    raise(sig);
    _exit(0);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return status;
}

bool LogHasLine(const std::string& log, const std::string& text) {
  std::istringstream in(ReadAll(log));
  std::string line, decoded;
  DWORD tick = 0;
  while (std::getline(in, line))
    if (DecodeLogLine(line, &tick, &decoded) && decoded == text) return true;
  return false;
}
}  // namespace

class CrashReportTest : public QObject {
  Q_OBJECT

 private slots:
  void FatalSignalWritesTheReportAndTheLogLine() {
    QTemporaryDir dir;
    std::string tmp = dir.path().toStdString();
    std::string log = tmp + "/Corvane.elog";
    int status = CrashChild(tmp, tmp + "/program", log, SIGSEGV);
    QVERIFY(WIFSIGNALED(status));
    QCOMPARE(WTERMSIG(status), SIGSEGV);
    std::string report = ReadAll(tmp + "/Corvane.elf");
    QVERIFY2(report.find("signal 11 (SEGV)") != std::string::npos, report.c_str());
    QVERIFY(report.find("stack:") != std::string::npos);
    QVERIFY(LogHasLine(log, "*** Exception Catched ***"));
  }

  void ReportGoesBesideTheProgramWhenTheTemporaryFolderFails() {
    QTemporaryDir dir;
    std::string root = dir.path().toStdString();
    std::string program = root + "/program";
    QVERIFY(QDir().mkpath(QString::fromStdString(program)));
    int status = CrashChild(root + "/missing", program, root + "/Corvane.elog", SIGFPE);
    QCOMPARE(WTERMSIG(status), SIGFPE);
    QVERIFY(ReadAll(program + "/Corvane.elf").find("signal 8 (FPE)") != std::string::npos);
    QCOMPARE(FallbackCrashReportPath(program), program + "/Corvane.elf");
  }
};

QTEST_APPLESS_MAIN(CrashReportTest)
#include "test_crash_report.moc"
