// bench_window: how long the window's thread is ever away from its event
// loop while the main window opens a clip and converts it whole. Input,
// repaints and the window's own timers wait that long; 100 ms is what a
// user still takes as an immediate answer.
//   bench_window PROGRAM_FOLDER CLIP OUT_FOLDER PROFILE
// Prints one line: the longest gap between two 5 ms ticks without and with
// the time the thread waited for a processor held by other work, and how
// long opening and converting took. Run it with settings of its own
// (bench/run-window-bench.sh does).
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <fstream>

#include "core/frame_state.h"
#include "app/window/finished_recording.h"
#include "app/window/lumivault_form.h"

namespace {
// Nanoseconds the calling thread has spent ready to run while another
// thread had the processor (the kernel's schedstat), or -1 when the kernel
// does not tell: time the program did not keep the thread away.
qint64 TimeWaitingForAProcessorNs() {
  std::ifstream stat("/proc/thread-self/schedstat");
  long long onCpu = 0, waiting = -1;
  if (!(stat >> onCpu >> waiting)) return -1;
  return waiting;
}

// The longest gap between ticks of a 5 ms timer on the calling thread.
class GapMeter : public QObject {
 public:
  GapMeter() {
    connect(&ticker_, &QTimer::timeout, this, [this] { Tick(); });
    clock_.start();
    ticker_.start(5);
  }
  qint64 longestMs() const { return longest_ / 1000000; }
  qint64 longestWallMs() const { return longestWall_ / 1000000; }

 private:
  void Tick() {
    const qint64 now = clock_.nsecsElapsed();
    const qint64 waiting = TimeWaitingForAProcessorNs();
    if (last_ >= 0) {
      longestWall_ = std::max(longestWall_, now - last_);
      const qint64 waited = waiting >= 0 && lastWaiting_ >= 0 ? waiting - lastWaiting_ : 0;
      longest_ = std::max(longest_, now - last_ - waited);
    }
    last_ = now;
    lastWaiting_ = waiting;
  }
  QTimer ticker_;
  QElapsedTimer clock_;
  qint64 last_ = -1, lastWaiting_ = -1, longest_ = 0, longestWall_ = 0;
};
}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: bench_window PROGRAM_FOLDER CLIP OUT_FOLDER PROFILE\n");
    return 2;
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  WindowOptions options;
  options.programFolder = argv[1];
  options.installMessageBox = false;  // nothing should ask; anything that does is answered No
  TLumivaultForm form(options);
  form.CreateSmallForms();
  form.show();
  const int profile = form.ProfileCombo->findText(argv[4]);
  if (profile < 0) {
    std::fprintf(stderr, "no profile named \"%s\"\n", argv[4]);
    return 2;
  }
  form.ProfileCombo->setCurrentIndex(profile);
  form.ProfileComboChange();
  form.OutputFolderEdit->setText(QString(argv[3]) + "/");
  // The finished notice closes as soon as it is up.
  QTimer closer;
  QObject::connect(&closer, &QTimer::timeout, [&] {
    if (form.FinishedRecording->isVisible()) form.FinishedRecording->Button1->click();
  });
  closer.start(20);

  GapMeter meter;
  QElapsedTimer took;
  took.start();
  form.OpenVideoFile(argv[2]);
  if (Frame().SourceReadiness != 2) {
    std::fprintf(stderr, "cannot open %s\n", argv[2]);
    return 1;
  }
  // Opening, moving the start point and pressing the button are actions of
  // their own: the window's events between them are handled as they come.
  QApplication::processEvents();
  form.MovePositionLow(0);
  QApplication::processEvents();
  form.StartRecordingButton->click();
  const bool started = Frame().IsRecording;
  while (Frame().IsRecording || form.FinishedRecording->isVisible())
    QApplication::processEvents(QEventLoop::WaitForMoreEvents);
  const double seconds = took.elapsed() / 1000.0;
  if (!started) {
    std::fprintf(stderr, "the conversion did not start\n");
    return 1;
  }
  std::printf("%lld %lld %.2f\n", static_cast<long long>(meter.longestMs()), static_cast<long long>(meter.longestWallMs()),
              seconds);
  return 0;
}
