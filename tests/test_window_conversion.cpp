// The main window driving the engine on fixture clips: opening a file and
// the transport buttons, whole conversions with their progress line and
// finished notice, the questions asked while a conversion runs (Convert,
// second pass, closing), a file that is not a video, and the window in
// real use: the progress line, edits and signals during a conversion, the
// time label, the preview and the paused picture, opening files.
#include <QAction>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <memory>
#include <netinet/in.h>
#include <poll.h>
#include <set>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include "app/control/recording_control.h"
#include "core/frame_state.h"
#include "app/window/finished_recording.h"
#include "app/window/lumivault_form.h"
#include "app/window/output_setting_dlg.h"
#include "app/window/quit_signals.h"
#include "app/window/range_bar.h"
#include "app/window/screen_image.h"
#include "app/window/video_panel.h"
#include "engine/engine_state.h"
#include "engine/sync_state.h"
#include "settings/settings.h"
#include "settings/settings_store.h"
#include "tests/fixtures/fixtures.h"
#include "tests/support/fresh_user.h"
#include "tests/support/media_probe.h"
#include "tests/support/qt_drop.h"
#include "tests/support/qt_psp_output.h"
#include "tests/support/test_support.h"

// Qt and GLib are not built for ThreadSanitizer: the allocations and copies
// of their own threads are reported without the synchronisation they do
// inside.
extern "C" const char* __tsan_default_suppressions() {
  return "race:libavcodec.so*\nrace:libavutil.so*\nrace:libswresample.so*\nrace:libavfilter.so*\nrace:libSDL2*\n"
         "race:libx264.so*\ncalled_from_lib:libQt6Core.so.6\ncalled_from_lib:libQt6Gui.so.6\n"
         "called_from_lib:libQt6Widgets.so.6\ncalled_from_lib:libQt6Test.so.6\ncalled_from_lib:libglib-2.0.so.0\n";
}

namespace {
constexpr double kOutFps = 30000.0 / 1001;

// Closes the finished notice (and counts it) as soon as it is up: the
// engine shows it modally at the end of a conversion.
class NoticeCloser : public QObject {
 public:
  explicit NoticeCloser(TFinishedRecording* notice) : notice_(notice) { notice_->installEventFilter(this); }
  int shown = 0;
  int closeAfterMs = 0;  // how long the user reads it

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == notice_ && event->type() == QEvent::Show) {
      ++shown;
      QTimer::singleShot(closeAfterMs, notice_, [n = notice_] { n->Button1->click(); });
    }
    return false;
  }

 private:
  TFinishedRecording* notice_;
};

// Serves a file over HTTP on the loopback, as a share or a stream that
// stops answering in the middle: a request from before `bytes` gets the
// file up to there and then nothing more while the connection stays open;
// one from after it (the demuxer's look at the file's end) gets the rest.
class StallingServer {
 public:
  StallingServer(std::string body, size_t bytes) : body_(std::move(body)), bytes_(std::min(bytes, body_.size())) {
    listen_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof(at);
    if (::bind(listen_, reinterpret_cast<sockaddr*>(&at), len) != 0 || ::listen(listen_, 4) != 0 ||
        ::getsockname(listen_, reinterpret_cast<sockaddr*>(&at), &len) != 0)
      return;
    port_ = ntohs(at.sin_port);
    thread_ = std::thread([this] { Serve(); });
  }
  ~StallingServer() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    for (int fd : connections_) ::close(fd);
    ::close(listen_);
  }
  QString Url(const char* name) const { return QString("http://127.0.0.1:%1/%2").arg(port_).arg(name); }
  int requests() const { return requests_; }

 private:
  void Serve() {
    while (!stop_) {
      pollfd p{listen_, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      const int fd = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) continue;
      connections_.push_back(fd);
      ++requests_;
      char request[4096];
      const ssize_t got = ::recv(fd, request, sizeof(request) - 1, 0);
      request[std::max<ssize_t>(got, 0)] = 0;
      const char* range = std::strstr(request, "Range: bytes=");
      const size_t from = std::min<size_t>(range ? std::strtoull(range + 13, nullptr, 10) : 0, body_.size());
      const size_t until = from < bytes_ ? bytes_ : body_.size();
      const std::string head =
          std::string(range ? "HTTP/1.1 206 Partial Content\r\n" : "HTTP/1.1 200 OK\r\n") +
          "Content-Type: video/mpeg\r\nAccept-Ranges: bytes\r\nContent-Length: " + std::to_string(body_.size() - from) +
          "\r\nContent-Range: bytes " + std::to_string(from) + "-" + std::to_string(body_.size() - 1) + "/" +
          std::to_string(body_.size()) + "\r\n\r\n";
      for (const std::string& part : {head, body_.substr(from, until - from)})
        for (size_t sent = 0; sent < part.size() && !stop_;) {
          const ssize_t n = ::send(fd, part.data() + sent, part.size() - sent, MSG_NOSIGNAL);
          if (n <= 0) break;
          sent += static_cast<size_t>(n);
        }
    }
  }

  std::string body_;
  size_t bytes_;
  int listen_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<int> requests_{0};
  std::vector<int> connections_;  // the server's thread only
  std::thread thread_;
};

// Runs the event loop until done() or the time is up; false on time-out.
template <class Done>
bool LoopUntil(Done done, int timeoutMs) {
  QElapsedTimer t;
  t.start();
  while (!done()) {
    if (t.elapsed() > timeoutMs) return false;
    QTest::qWait(5);
  }
  return true;
}

// The progress line of a single pass: percentage, the three times, the
// output's size and path, a closing space.
const QRegularExpression kProgressLine(
    R"(^\d+\.\d% Recorded \d:\d\d:\d\d    Elapsed \d:\d\d:\d\d  Remaining \d:\d\d:\d\d  Output: \d+\.\d MB  .*/(M4V|MAQ)20001\.MP4 $)");
const QRegularExpression kSecondPassLine(R"(^\[Pass 2 of 2\]  \d+\.\d% Recorded .*/M4V20001\.MP4 $)");
}  // namespace

class WindowConversionTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    programDir = std::filesystem::current_path();
    QVERIFY(clips.isValid());
    for (const auto& [name, seconds] :
         {std::pair{"ten", 10.0}, std::pair{"six", 6.0}, std::pair{"long", 30.0}, std::pair{"longer", 120.0}})
      QCOMPARE(MakeFixture(FixtureKind::kH264AacMp4, Clip(name), seconds), std::string());
    QCOMPARE(MakeFixture(FixtureKind::kH264AacMp4, Clip("numbered"), 10.0, {.numbered = true}), std::string());
    QCOMPARE(MakeFixture(FixtureKind::kNoVideo, clips.path().toStdString() + "/song.m4a", 2.0), std::string());
  }

  void init() {
    // The banner makes the program folder the current one; the shipped
    // profiles are found from where the tests run.
    std::filesystem::current_path(programDir);
    user = std::make_unique<FreshUser>();
    box = std::make_unique<ScriptedMessageBox>();
    Frame().PassCount = 1;
    Frame().CurrentPass = 1;
    outDir = user->Home() + "/out";
    std::filesystem::create_directories(outDir);
    MakeForm(false);
  }

  void cleanup() {
    notice.reset();
    form.reset();
    box.reset();
    user.reset();
    Frame().PassCount = 1;
    Frame().CurrentPass = 1;
  }

  void OpeningAClipRendersItAndTheTransportButtonsDriveIt() {
    QVERIFY(form->SaveThumbnailBtn->icon().isNull());
    form->OpenVideoFile(QString::fromStdString(Clip("ten")));
    QCOMPARE(Frame().SourceReadiness, 2);
    QCOMPARE(Frame().PlaybackState.load(), 2);
    QCOMPARE(form->TopStatusLabel->text(), QString("Ready to record this title [0:00:10]"));
    QCOMPARE(form->PositionRangeBar->Max(), 10);
    QCOMPARE(form->PositionRangeBar->High(), 10);
    QVERIFY(form->menu_SetOutputPath->isEnabled());
    QVERIFY(form->SaveThumbnailBtn->isEnabled());
    // The shipped default picture until a conversion makes a thumbnail.
    QVERIFY(!form->SaveThumbnailBtn->icon().isNull());
    QCOMPARE(form->SaveThumbnailBtn->toolTip(), QString("Save the current frame as video thumbnail"));
    QCOMPARE(std::filesystem::path(Frame().GetOutputPath()).filename().string(), std::string("M4V20001.MP4"));
    // The renderer's pictures reach the panel, placed at the source's 4:3.
    QVERIFY(LoopUntil([&] { return !form->Panel1->LastFrame().isNull(); }, 5000));
    QCOMPARE(form->Panel1->LastFrame().size(), QSize(320, 240));
    QCOMPARE(form->Panel1->VideoPlacement(), QRect(0, 0, 467, 350));
    // The timer follows the playing position.
    const QRegularExpression playing(R"(^0:00:0[1-9] of \[0:00:10\] $)");
    QVERIFY2(LoopUntil([&] { return playing.match(form->TimeLabel->text()).hasMatch(); }, 5000),
             qPrintable(form->TimeLabel->text()));
    QVERIFY(form->PositionRangeBar->Low() >= 1);

    form->PauseButton->click();
    QCOMPARE(Frame().PlaybackState.load(), 1);
    QVERIFY(form->PausedScreenPanel->isVisible());
    QCOMPARE(form->ScreenImage->Picture().size(), QSize(320, 240));
    const QString pausedAt = form->TimeLabel->text();
    QTest::qWait(1100);
    QCOMPARE(form->TimeLabel->text(), pausedAt);

    form->PlayButton->click();
    QCOMPARE(Frame().PlaybackState.load(), 2);
    QVERIFY(form->PausedScreenPanel->isHidden());
    QVERIFY(LoopUntil([&] { return form->TimeLabel->text() != pausedAt; }, 3000));

    form->StopButton->click();
    QCOMPARE(Frame().PlaybackState.load(), 0);
    QCOMPARE(form->TimeLabel->text(), QString("0:00:00 of [0:00:10] "));
    QCOMPARE(form->PositionRangeBar->Low(), 0);
    QTest::qWait(600);
    QCOMPARE(form->TimeLabel->text(), QString("0:00:00 of [0:00:10] "));
    QVERIFY(box->texts.empty());
  }

  // Opening a clip and converting it whole. (How long the window's thread
  // is ever away meanwhile is measured by bench/run-window-bench.sh.)
  void ConvertRunsToTheEnd_data() {
    QTest::addColumn<QString>("profile");
    QTest::addColumn<QString>("prefix");
    QTest::newRow("MPEG-4") << "PSP MPEG-4 320x240" << "M4V";
    QTest::newRow("AVC") << "PSP AVC 320x240" << "MAQ";
  }

  void ConvertRunsToTheEnd() {
    QFETCH(QString, profile);
    QFETCH(QString, prefix);
    SelectProfile(qPrintable(profile));
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    std::set<QString> lines;
    QElapsedTimer clock;
    QTimer ticker;
    ticker.setInterval(5);
    connect(&ticker, &QTimer::timeout, [&] {
      if (!form->ProgressStatus->toolTip().isEmpty()) lines.insert(form->ProgressStatus->toolTip());
    });
    // The notice stays up a while, as it does when someone reads it.
    notice->closeAfterMs = 2500;
    qint64 noticeUp = -1;
    connect(form->FinishedRecording, &QDialog::finished, [&] { noticeUp = clock.elapsed() - 2500; });
    clock.start();
    ticker.start();
    OpenFromStart(Clip("ten"));
    const qint64 convertClicked = clock.elapsed();  // ms
    form->StartRecordingButton->click();
    QVERIFY(Frame().IsRecording);
    QCOMPARE(form->StartRecordingButton->text(), QString("Pause/Stop"));
    QCOMPARE(form->EncodeMenu->text(), QString("Pause/Stop"));
    QVERIFY(!form->PlayButton->isEnabled() && !form->PauseButton->isEnabled() && !form->StopButton->isEnabled());
    QVERIFY(!form->OpenDVDButton->isEnabled());
    QVERIFY(!form->menu_OutputSetting->isEnabled());
    QCOMPARE(form->TopStatusLabel->text(), QString("Recording ... "));
    QVERIFY(LoopUntil([&] { return !Frame().IsRecording && notice->shown == 1 && !form->FinishedRecording->isVisible(); },
                      120000));
    QTest::qWait(50);  // the last progress message
    ticker.stop();

    // What the window shows afterwards.
    QCOMPARE(notice->shown, 1);
    QCOMPARE(form->StartRecordingButton->text(), QString("Convert"));
    QCOMPARE(form->EncodeMenu->text(), QString("Convert"));
    QVERIFY(form->PlayButton->isEnabled() && form->OpenDVDButton->isEnabled() && form->menu_OutputSetting->isEnabled());
    QCOMPARE(form->TopStatusLabel->text(), QString("Video Panel"));
    QCOMPARE(form->ProgressBar->value(), 100);
    QVERIFY(kProgressLine.match(form->ProgressStatus->toolTip()).hasMatch());
    QVERIFY(form->ProgressStatus->toolTip().startsWith("100.0% Recorded 0:00:10"));
    // The last line is about the output just written, with the time the
    // conversion took, not the time the notice was up.
    QVERIFY(form->ProgressStatus->toolTip().endsWith("/" + prefix + "20001.MP4 "));
    const QRegularExpressionMatch elapsed =
        QRegularExpression(R"(Elapsed (\d):(\d\d):(\d\d))").match(form->ProgressStatus->toolTip());
    QVERIFY(elapsed.hasMatch());
    const int elapsedSeconds = elapsed.captured(1).toInt() * 3600 + elapsed.captured(2).toInt() * 60 +
                               elapsed.captured(3).toInt();
    QVERIFY(noticeUp > convertClicked);
    QVERIFY2(elapsedSeconds * 1000 <= noticeUp - convertClicked + 500,
             qPrintable(QString("%1 s elapsed, notice up after %2 ms").arg(elapsedSeconds).arg(noticeUp - convertClicked)));
    QVERIFY(lines.size() >= 3);  // the line grew while the conversion ran
    for (const QString& line : lines) QVERIFY2(kProgressLine.match(line).hasMatch(), qPrintable(line));
    // The next output gets the next number, which is kept.
    QCOMPARE(AppSettings().fileNumber, 20002);
    QCOMPARE(std::string(ReadSettingText("OutputConfig\\file_number", "")), std::string("20002"));
    QCOMPARE(Frame().GetOutputPath(), outDir + "/" + prefix.toStdString() + "20002.MP4");
    ExpectQtPspOutput(outDir + "/" + prefix.toStdString() + "20001.MP4", 10.0);
    QVERIFY(box->texts.empty());
  }

  // A clip opened (it plays at once) and watched for a few seconds, then
  // Convert: the output begins with the clip's first picture, wherever the
  // preview had got to, and a second Convert converts the whole clip again.
  void ConvertStartsAtTheStartPointNotWherePlaybackHasGot() {
    form->OpenVideoFile(QString::fromStdString(Clip("numbered")));
    QCOMPARE(Frame().SourceReadiness, 2);
    QVERIFY(LoopUntil([&] { return form->PositionRangeBar->Low() >= 3; }, 20000));
    for (int round = 1; round <= 2; ++round) {
      QTest::mouseClick(form->StartRecordingButton, Qt::LeftButton);
      QVERIFY(Frame().IsRecording);
      QVERIFY(LoopUntil([&] { return !Frame().IsRecording && notice->shown == round && !form->FinishedRecording->isVisible(); },
                        120000));
      const std::string out = outDir + "/M4V2000" + std::to_string(round) + ".MP4";
      ExpectQtPspOutput(out, 10.0);
      const MediaProbe p = ProbeMedia(out, true);
      QVERIFY(!p.video.frameCodes.empty());
      QCOMPARE(p.video.frameCodes.front(), 0);
    }
    QVERIFY(box->texts.empty());
  }

  // Another program (a batch running beside the window) wrote the number
  // the window shows: Convert takes the next free one, writing nothing over
  // and asking nothing.
  void ConvertPassesOverANumberAlreadyWritten() {
    OpenFromStart(Clip("six"));
    QCOMPARE(Frame().GetOutputPath(), outDir + "/M4V20001.MP4");
    WriteFileBytes(outDir + "/M4V20001.MP4", "written by another program");
    QTest::mouseClick(form->StartRecordingButton, Qt::LeftButton);
    QVERIFY(LoopUntil([&] { return !Frame().IsRecording && notice->shown == 1; }, 120000));
    QVERIFY(box->texts.empty());
    QCOMPARE(ReadFileBytes(outDir + "/M4V20001.MP4"), std::string("written by another program"));
    ExpectQtPspOutput(outDir + "/M4V20002.MP4", 6.0);
    QCOMPARE(ReadSettingInt("OutputConfig\\file_number", 0), 20003);
    QCOMPARE(Frame().GetOutputPath(), outDir + "/M4V20003.MP4");
  }

  // The file ends while it is converted (a download that had not finished):
  // the notice says what was converted instead of "Conversion Completed".
  void ASourceThatEndsEarlyIsNotCalledCompleted() {
    const std::string copy = outDir + "/download.mp4";
    std::filesystem::copy_file(Clip("long"), copy);
    OpenFromStart(copy);
    QTest::mouseClick(form->StartRecordingButton, Qt::LeftButton);
    QVERIFY(WaitForProgress(1.0));
    std::filesystem::resize_file(copy, std::filesystem::file_size(copy) / 3);
    QVERIFY(LoopUntil([&] { return !Frame().IsRecording && notice->shown == 1; }, 120000));
    const QString said = form->FinishedRecording->Label0->text();
    QVERIFY2(QRegularExpression(R"(^Converted 0:00:\d\d of 0:00:30: the source ended early$)").match(said).hasMatch(),
             qPrintable(said));
  }

  void ConvertWhileRecordingAsksNoKeepsItRunningYesStopsIt() {
    OpenFromStart(Clip("long"));
    form->StartRecordingButton->click();
    QVERIFY(WaitForProgress(1.0));
    box->Answer(mrNo);
    form->StartRecordingButton->click();
    QCOMPARE(box->texts.size(), size_t{1});
    QCOMPARE(box->texts[0], std::string("Stop recording?\n"));
    QVERIFY(Frame().IsRecording);
    QCOMPARE(Frame().PlaybackState.load(), 2);
    QCOMPARE(form->StartRecordingButton->text(), QString("Pause/Stop"));
    QVERIFY(form->StartRecordingButton->isEnabled());
    const double before = Recorded();
    QVERIFY(LoopUntil([&] { return Recorded() > before + 1.0; }, 20000));  // it goes on

    box->Answer(mrYes);
    form->EncodeMenu->trigger();
    QCOMPARE(box->texts.size(), size_t{2});
    QCOMPARE(box->texts[1], std::string("Stop recording?\n"));
    QVERIFY(!Frame().IsRecording);
    QVERIFY(Frame().ManualStop);
    QCOMPARE(notice->shown, 1);
    QCOMPARE(form->StartRecordingButton->text(), QString("Convert"));
    const MediaProbe p = ProbeMedia(outDir + "/M4V20001.MP4");
    QVERIFY(p.opened && p.hasVideo && p.hasAudio);
    QCOMPARE(p.video.decodeErrors, 0);
    QVERIFY2(p.video.durationSec > 2.0 && p.video.durationSec < 29.5, qPrintable(QString::number(p.video.durationSec)));
  }

  void StoppingTheFirstOfTwoPassesStartsTheSecondOverTheSameRange() {
    Frame().PassCount = 2;
    OpenFromStart(Clip("long"));
    form->StartRecordingButton->click();
    QCOMPARE(Frame().CurrentPass, 1);
    QVERIFY(WaitForProgress(3.0));
    box->Answer(mrYes);
    form->StartRecordingButton->click();
    QCOMPARE(box->texts.size(), size_t{1});
    QCOMPARE(box->texts[0], std::string("Stop 1st-Pass recording and start 2nd-Pass now?\n"));
    // Pass 2 runs from the start point to where pass 1 was stopped, which
    // the conversion may have reached before the bar (moved by the timer
    // every half second) showed it.
    QVERIFY(Frame().IsRecording);
    QCOMPARE(Frame().CurrentPass, 2);
    const int end = form->PositionRangeBar->High();
    QVERIFY2(end >= 3 && end < 30, qPrintable(QString::number(end)));
    // The bar's end is pass 1's end in whole seconds; pass 2 runs to it, and
    // never past the pictures pass 1 took.
    const double firstPass = Engine().ConvertedSeconds;
    QVERIFY2(std::abs(firstPass - end) <= 0.5 + 1 / kOutFps, qPrintable(QString::number(firstPass)));
    QCOMPARE(notice->shown, 0);
    bool sawSecondPass = false;
    QVERIFY(LoopUntil(
        [&] {
          sawSecondPass |= kSecondPassLine.match(form->ProgressStatus->toolTip()).hasMatch();
          return !Frame().IsRecording && notice->shown == 1;
        },
        120000));
    QVERIFY(sawSecondPass);
    QCOMPARE(Frame().CurrentPass, 1);
    QCOMPARE(box->texts.size(), size_t{1});  // pass 2 ends by itself at the range end
    ExpectQtPspOutput(outDir + "/M4V20001.MP4", std::min<double>(end, firstPass));
  }

  void ClosingWhileRecordingAsksAndNoKeepsTheWindowOpen() {
    OpenFromStart(Clip("long"));
    form->StartRecordingButton->click();
    QVERIFY(WaitForProgress(1.0));
    box->Answer(mrNo);
    QVERIFY(!form->close());
    QCOMPARE(box->texts.back(), std::string("Stop recording?\n"));
    QVERIFY(form->isVisible());
    QVERIFY(Frame().IsRecording);
    QCOMPARE(Frame().PlaybackState.load(), 2);
    const double before = Recorded();
    QVERIFY(LoopUntil([&] { return Recorded() > before + 1.0; }, 20000));

    box->Answer(mrYes);
    QVERIFY(form->close());
    QVERIFY(!form->isVisible());
    QVERIFY(!Frame().IsRecording);
    QCOMPARE(Frame().PlaybackState.load(), 3);  // the graph is gone
    QCOMPARE(notice->shown, 1);
    QVERIFY(!std::string(ReadSettingText("WindowSize", "")).empty());
    const MediaProbe p = ProbeMedia(outDir + "/M4V20001.MP4");
    QVERIFY(p.opened && p.hasVideo && p.hasAudio);
    QCOMPARE(p.video.decodeErrors, 0);
  }

  // A close request that comes while the engine is in the middle of its
  // stop (here: while the finished notice is up) waits until the stop has
  // returned, then closes the window.
  void ACloseDuringTheStopRunsOnceTheStopHasReturned() {
    OpenFromStart(Clip("six"));
    bool closedAtOnce = true, visibleWhileNoticeUp = false;
    connect(form->FinishedRecording, &QDialog::finished, [&] { visibleWhileNoticeUp = form->isVisible(); });
    notice->closeAfterMs = 300;
    auto* whenUp = new QTimer(form.get());
    connect(whenUp, &QTimer::timeout, [&, whenUp] {
      if (!form->FinishedRecording->isVisible()) return;
      whenUp->stop();
      closedAtOnce = form->close();
    });
    whenUp->start(5);
    form->StartRecordingButton->click();
    QVERIFY(LoopUntil([&] { return !form->isVisible(); }, 60000));
    QVERIFY(!closedAtOnce);
    QVERIFY(visibleWhileNoticeUp);
    QCOMPARE(notice->shown, 1);
    QCOMPARE(Frame().PlaybackState.load(), 3);  // the close procedure ran: the graph is gone
    ExpectQtPspOutput(outDir + "/M4V20001.MP4", 6.0);
  }

  // The encoder asks from the capture thread, holding the capture lock,
  // before it overwrites the next part file. While the window's box is up
  // the window's timer must not run into the engine: the stop at the end
  // point waits for that lock, and the box could then never be answered.
  void AQuestionFromTheCaptureThreadHoldsTheWindowOutOfTheEngineUntilAnswered() {
    box.reset();
    MakeForm(true);  // the window's own box this time
    OpenFromStart(Clip("long"));
    form->StartRecordingButton->click();
    QVERIFY(WaitForProgress(2.0));

    int ticksWhileUp = 0;
    QTimer countTicks;
    connect(form->PerformanceMonitor, &QTimer::timeout, &countTicks, [&] { ++ticksWhileUp; });
    auto* poll = new QTimer(form.get());
    connect(poll, &QTimer::timeout, [&, poll] {
      QMessageBox* up = nullptr;
      for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* b = qobject_cast<QMessageBox*>(w); b && b->isVisible()) up = b;
      if (!up) return;
      poll->stop();
      // The end point is passed while the question is up; the answer comes
      // after several of the window's timer ticks.
      Frame().RecordEndSec = 1;
      ticksWhileUp = 0;
      QTimer::singleShot(1600, up, [up] { up->button(QMessageBox::Yes)->click(); });
    });
    poll->start(5);
    std::atomic<int> answer{0};
    std::thread asker([&] {
      CritSecLock lock(CaptureLock());
      answer = ShowMessageDlg("/out/M4V20001 - 02.MP4 already exits. Overwrite?", MsgKind::Confirmation,
                              mbYes | mbNo);
    });
    QVERIFY(LoopUntil([&] { return answer != 0; }, 20000));
    asker.join();
    QCOMPARE(answer.load(), mrYes);
    QVERIFY(ticksWhileUp >= 2);
    // Then the timer finds the end point passed and stops the conversion.
    QVERIFY(LoopUntil([&] { return !Frame().IsRecording && notice->shown == 1; }, 20000));
    const MediaProbe p = ProbeMedia(outDir + "/M4V20001.MP4");
    QVERIFY(p.opened && p.hasVideo && p.hasAudio);
    QCOMPARE(p.video.decodeErrors, 0);
  }

  // A file the graph cannot open is named at once, with the reason, and
  // nothing of the source before it stays on show.
  void AFileThatIsNotAVideoIsRefusedAtOnceAndTheWindowClearsItsSource() {
    // A sound file, the first graph since start-up: its picture cannot be
    // played, and the user hears so at once.
    form->OpenVideoFile(QString::fromStdString(clips.path().toStdString() + "/song.m4a"));
    QCOMPARE(box->texts.size(), size_t{1});
    QVERIFY(box->texts[0].rfind("Video cannot be played.", 0) == 0);
    box->texts.clear();
    box->kinds.clear();
    OpenFromStart(Clip("six"));
    form->StartRecordingButton->click();
    QVERIFY(LoopUntil([&] { return !Frame().IsRecording && notice->shown == 1; }, 120000));
    QTest::qWait(50);
    QCOMPARE(form->ProgressBar->value(), 100);
    QVERIFY(form->EstimatedSizeLabel->text().startsWith("Estimated size: "));

    const std::string text = user->Temp() + "/notes.txt";
    WriteFileBytes(text, "not a video at all\n");
    const std::string said = "Cannot open " + text + "\nIt is not a video or sound file this converter can read.";
    form->OpenVideoFile(QString::fromStdString(text));
    QCOMPARE(box->texts, std::vector<std::string>{said});
    QCOMPARE(box->kinds[0], MsgKind::Error);
    QCOMPARE(Frame().SourceReadiness, 0);
    QCOMPARE(form->TimeLabel->text(), QString("0:00:00 of [0:00:00] "));
    QCOMPARE(form->ProgressBar->value(), 0);
    QVERIFY(form->ProgressStatus->text().isEmpty());
    QCOMPARE(form->EstimatedSizeLabel->text(), QString("Estimated Size:"));
    QCOMPARE(form->PositionRangeBar->Max(), 0);
    QCOMPARE(form->TopStatusLabel->text(), QString("Video Panel"));
    QTest::mouseClick(form->StartRecordingButton, Qt::LeftButton);
    QCOMPARE(box->texts.back(), std::string("DVD or video file not ready. Try to open again."));
    form->OpenVideoFile(QString::fromStdString(text));
    QCOMPARE(box->texts.size(), size_t{3});
    QCOMPARE(box->texts[2], said);
    QVERIFY(!Frame().IsRecording);
    QVERIFY(form->StartRecordingButton->isEnabled() && form->PlayButton->isEnabled() && form->OpenDVDButton->isEnabled());

    // A good file opens and converts afterwards.
    OpenFromStart(Clip("six"));
    form->StartRecordingButton->click();
    QVERIFY(LoopUntil([&] { return !Frame().IsRecording && notice->shown == 2; }, 120000));
    QCOMPARE(box->texts.size(), size_t{3});
    ExpectQtPspOutput(outDir + "/M4V20002.MP4", 6.0);
  }

  // The window in real use, step by step as a user goes.

  // The percentage, the times, the size and the estimate stay whole; a
  // long output path gives up the middle of its folder.
  void TheProgressLineKeepsItsFiguresAndShortensTheFolder() {
    std::string deep = outDir;
    for (int i = 0; i < 6; ++i) deep += "/a folder with a rather long name " + std::to_string(i);
    std::filesystem::create_directories(deep);
    form->OutputFolderEdit->setText(QString::fromStdString(deep + "/"));
    OpenFromStart(Clip("ten"));
    std::set<QString> shown;
    QTimer watch;
    connect(&watch, &QTimer::timeout, [&] {
      if (!form->ProgressStatus->text().isEmpty()) shown.insert(form->ProgressStatus->text());
    });
    watch.start(5);
    QTest::mouseClick(form->StartRecordingButton, Qt::LeftButton);
    QVERIFY(LoopUntil([&] { return !Frame().IsRecording && notice->shown == 1; }, 120000));
    QTest::qWait(50);
    watch.stop();
    const QRegularExpression whole(
        R"(^\d+\.\d% Recorded \d:\d\d:\d\d    Elapsed \d:\d\d:\d\d  Remaining \d:\d\d:\d\d  Output: \d+\.\d MB  )"
        R"((Estimated: \d+\.\d MB  )?/.*\x{2026}.*/M4V20001\.MP4 $)");
    QVERIFY(shown.size() >= 2);
    const int room = form->ProgressStatus->contentsRect().width();
    for (const QString& line : shown) {
      QVERIFY2(whole.match(line).hasMatch(), qPrintable(line));
      QVERIFY2(form->ProgressStatus->fontMetrics().horizontalAdvance(line) <= room, qPrintable(line));
    }
    QVERIFY(form->ProgressStatus->text().startsWith("100.0% Recorded 0:00:10"));
    QVERIFY(form->ProgressStatus->toolTip().endsWith(QString::fromStdString(deep) + "/M4V20001.MP4 "));
  }

  // Typing a folder, picking a profile or pressing OK in the settings
  // dialog (left open from before) changes nothing of the conversion under
  // way: it is not stopped as if its file had gone, and it writes where it
  // began. Afterwards the controls take edits again.
  void EditsToTheOutputDuringAConversionWaitForItsEnd() {
    form->menu_OutputSetting->trigger();
    QVERIFY(form->OutputSettingDlg->isVisible());
    OpenFromStart(Clip("longer"));
    QTest::mouseClick(form->StartRecordingButton, Qt::LeftButton);
    QVERIFY(WaitForProgress(1.0));
    QTest::keyClicks(form->OutputFolderEdit, "elsewhere");
    QTest::mouseClick(form->ProfileCombo, Qt::LeftButton);
    QTest::keyClick(form->ProfileCombo, Qt::Key_Down);
    QTest::keyClicks(form->OutputSettingDlg->OutputFileName_Edit, "x");
    QTest::mouseClick(form->OutputSettingDlg->OKBtn, Qt::LeftButton);
    int ticks = 0;
    QTimer countTicks;
    connect(form->PerformanceMonitor, &QTimer::timeout, &countTicks, [&] { ++ticks; });
    QVERIFY(LoopUntil([&] { return ticks >= 3 || !Frame().IsRecording; }, 30000));
    QVERIFY2(box->texts.empty(), box->texts.empty() ? "" : box->texts[0].c_str());
    QCOMPARE(form->ProfileCombo->currentText(), QString("PSP MPEG-4 320x240"));
    if (Frame().IsRecording) {
      QCOMPARE(Frame().GetOutputPath(), outDir + "/M4V20001.MP4");
      QVERIFY(form->ProgressStatus->toolTip().endsWith(QString::fromStdString(outDir) + "/M4V20001.MP4 "));
      QVERIFY(!form->OutputFolderEdit->isEnabled() && !form->ProfileCombo->isEnabled());
      QVERIFY(!form->MoreOptionsBtn->isEnabled() && !form->menu_SetOutputPath->isEnabled());
      QVERIFY(!form->OutputSettingDlg->OKBtn->isEnabled());
    }
    QVERIFY(LoopUntil([&] { return !Frame().IsRecording && notice->shown == 1; }, 240000));
    QVERIFY(box->texts.empty());
    ExpectQtPspOutput(outDir + "/M4V20001.MP4", 120.0);
    QVERIFY(form->OutputFolderEdit->isEnabled() && form->ProfileCombo->isEnabled() && form->MoreOptionsBtn->isEnabled());
    QVERIFY(form->menu_SetOutputPath->isEnabled() && form->OutputSettingDlg->OKBtn->isEnabled());
    QTest::keyClicks(form->OutputFolderEdit, "next");
    QCOMPARE(Frame().GetOutputPath(), outDir + "/next/M4V20002.MP4");
  }

  // SIGTERM (and Ctrl-C) ends the program as its close with "Yes" does:
  // the conversion stops with its output finished, the window's place is
  // kept, and no notice waits for a reader.
  void ASigtermStopsTheConversionFinishesItsOutputAndClosesTheWindow() {
    QuitOnSignals quit([this] { form->QuitWithoutQuestions(); });
    OpenFromStart(Clip("long"));
    QTest::mouseClick(form->StartRecordingButton, Qt::LeftButton);
    QVERIFY(WaitForProgress(2.0));
    ::kill(::getpid(), SIGTERM);
    QVERIFY(LoopUntil([&] { return !form->isVisible(); }, 60000));
    QVERIFY(!Frame().IsRecording);
    QCOMPARE(Frame().PlaybackState.load(), 3);
    QCOMPARE(notice->shown, 0);
    QVERIFY(box->texts.empty());
    QVERIFY(!std::string(ReadSettingText("WindowSize", "")).empty());
    QCOMPARE(std::string(ReadSettingText("OutputConfig\\file_number", "")), std::string("20002"));
    const MediaProbe p = ProbeMedia(outDir + "/M4V20001.MP4");
    QVERIFY(p.opened && p.hasVideo && p.hasAudio);
    QCOMPARE(p.video.decodeErrors, 0);
    QVERIFY2(p.video.durationSec > 1.5 && p.video.durationSec < 29.5, qPrintable(QString::number(p.video.durationSec)));
  }

  // A press and release on the thumb without moving it seeks nothing, and
  // the time label follows playback again at once.
  void APlainClickOnTheThumbLeavesTheTimeLabelFollowingPlayback() {
    OpenFromStart(Clip("long"));
    QVERIFY(LoopUntil([&] { return form->TimeLabel->text().startsWith("0:00:01"); }, 10000));
    RangeBar* bar = form->PositionRangeBar;
    const QPoint thumb(bar->XOf(bar->Low()), bar->height() / 2);
    QTest::mousePress(bar, Qt::LeftButton, {}, thumb);
    QTest::mouseRelease(bar, Qt::LeftButton, {}, thumb);
    const QString at = form->TimeLabel->text();
    QVERIFY2(LoopUntil([&] { return form->TimeLabel->text() != at; }, 5000), qPrintable(at));
    QCOMPARE(Frame().PlaybackState.load(), 2);
  }

  // "No" to "Stop recording?" (after a moment's thought) resumes the
  // conversion, and the panel shows its pictures again rather than the
  // picture of the pause.
  void NoToStopRecordingBringsThePreviewBack() {
    box.reset();
    MakeForm(true);
    OpenFromStart(Clip("long"));
    QTest::mouseClick(form->StartRecordingButton, Qt::LeftButton);
    QVERIFY(WaitForProgress(1.0));
    AnswerOwnBoxAfter(QMessageBox::No, 600);
    QTest::mouseClick(form->StartRecordingButton, Qt::LeftButton);
    QVERIFY(Frame().IsRecording);
    QCOMPARE(Frame().PlaybackState.load(), 2);
    const double before = Recorded();
    QVERIFY(LoopUntil([&] { return Recorded() > before + 1.0 || !Frame().IsRecording; }, 20000));
    QVERIFY(form->PausedScreenPanel->isHidden());
    const QImage shown = form->Panel1->LastFrame();
    QVERIFY(LoopUntil([&] { return form->Panel1->LastFrame() != shown || !Frame().IsRecording; }, 20000));
    QVERIFY(form->PausedScreenPanel->isHidden());
  }

  // A seek while paused shows the picture at the new position.
  void SeekingWhilePausedShowsThePictureThere() {
    OpenFromStart(Clip("long"));
    QVERIFY(LoopUntil([&] { return form->TimeLabel->text().startsWith("0:00:01"); }, 10000));
    QTest::mouseClick(form->PauseButton, Qt::LeftButton);
    QCOMPARE(Frame().PlaybackState.load(), 1);
    QVERIFY(form->PausedScreenPanel->isVisible());
    QTest::qWait(300);
    const QImage before = form->ScreenImage->Picture();
    RangeBar* bar = form->PositionRangeBar;
    QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(bar->XOf(20), bar->height() / 2));
    QCOMPARE(bar->Low(), 20);
    QVERIFY(LoopUntil([&] { return form->ScreenImage->Picture() != before; }, 5000));
    QCOMPARE(Frame().PlaybackState.load(), 1);
    QVERIFY(form->PausedScreenPanel->isVisible());
    QCOMPARE(form->ScreenImage->Picture(), form->Panel1->LastFrame());
  }

  // A source that stops answering in the middle of a read (here a stream
  // whose server sends no more): Stop and the close still come back at
  // once, the read being given up rather than waited for.
  void StopAndCloseComeBackFromASourceThatStoppedAnswering() {
    const std::string clip = clips.path().toStdString() + "/stalls.mpg";
    QCOMPARE(MakeFixture(FixtureKind::kMpeg2Mp2Ps, clip, 20.0), std::string());
    const std::string body = ReadFileBytes(clip);
    StallingServer server(body, body.size() * 2 / 5);
    form->OpenVideoFile(server.Url("stalls.mpg"));
    QCOMPARE(Frame().SourceReadiness, 2);
    // Played past what the server sent: the file source waits in its read.
    QVERIFY2(LoopUntil([&] { return form->TimeLabel->text() >= QString("0:00:09"); }, 30000),
             qPrintable(form->TimeLabel->text()));
    QTest::mouseClick(form->StopButton, Qt::LeftButton);
    QVERIFY(!Engine().bStopTimedOut);
    QCOMPARE(Frame().PlaybackState.load(), 0);
    QVERIFY2(form->TimeLabel->text().startsWith("0:00:00 of [0:00:"), qPrintable(form->TimeLabel->text()));
    // It plays again from the start (a new request), and the close ends it.
    QTest::mouseClick(form->PlayButton, Qt::LeftButton);
    QVERIFY(LoopUntil([&] { return form->TimeLabel->text().startsWith("0:00:02"); }, 20000));
    QVERIFY(server.requests() >= 2);
    QVERIFY(LoopUntil([&] { return form->TimeLabel->text() >= QString("0:00:09"); }, 30000));
    QVERIFY(form->close());
    QVERIFY(!Engine().bStopTimedOut);
    QCOMPARE(Frame().PlaybackState.load(), 3);
    QVERIFY(box->texts.empty());
  }

  // The open dialog offers the files people have (in any case); a file
  // dropped on the window opens, except while a conversion runs.
  void OpeningFromTheDialogAndByDropping() {
    const QString camera = clips.path() + "/HOLIDAY.MKV";
    QVERIFY(QFile::copy(QString::fromStdString(Clip("six")), camera));
    QStringList filters;
    // The open dialog is the file dialog that was not there before (one of
    // an earlier step may linger, and count as the active modal window).
    QList<QFileDialog*> before = form->findChildren<QFileDialog*>();
    auto* pick = new QTimer(form.get());
    connect(pick, &QTimer::timeout, [&, pick] {
      QFileDialog* dialog = nullptr;
      for (QFileDialog* d : form->findChildren<QFileDialog*>())
        if (d->isVisible() && !before.contains(d)) dialog = d;
      if (!dialog) return;
      filters = dialog->nameFilters();
      // Until the dialog has gone: while its folder is still being read,
      // it may take the folder for the choice and stay open.
      dialog->selectFile(camera);
      static_cast<QDialog*>(dialog)->accept();  // as the Open button does
    });
    pick->start(10);
    form->menu_OpenVideoFile->trigger();
    pick->stop();
    QCOMPARE(filters.size(), 2);
    for (const char* ext : {"*.mp4", "*.MP4", "*.mkv", "*.MKV", "*.mov", "*.webm", "*.m4v", "*.3gp", "*.flv", "*.ts",
                            "*.mts", "*.MTS", "*.m2ts", "*.vob", "*.ogv", "*.divx", "*.xvid", "*.avi", "*.wmv"})
      QVERIFY2(filters[0].split(QRegularExpression("[ ()]"), Qt::SkipEmptyParts).contains(ext), ext);
    QCOMPARE(filters[1], QString("All files (*)"));
    QCOMPARE(form->SourcePath(), camera.toStdString());
    QCOMPARE(Frame().SourceReadiness, 2);

    const QString dropped = QString::fromStdString(Clip("ten"));
    QVERIFY(Drop(dropped));
    QVERIFY(LoopUntil([&] { return form->SourcePath() == dropped.toStdString(); }, 10000));
    QCOMPARE(Frame().SourceReadiness, 2);
    QCOMPARE(form->PositionRangeBar->Max(), 10);

    form->MovePositionLow(0);
    QTest::mouseClick(form->StartRecordingButton, Qt::LeftButton);
    QVERIFY(Frame().IsRecording);
    QVERIFY(!Drop(camera));
    QVERIFY(!form->menu_OpenVideoFile->isEnabled());
    QVERIFY(LoopUntil([&] { return !Frame().IsRecording && notice->shown == 1; }, 120000));
    QCOMPARE(form->SourcePath(), dropped.toStdString());
    QVERIFY(Drop(camera));
    QVERIFY(LoopUntil([&] { return form->SourcePath() == camera.toStdString(); }, 10000));
  }

 private:
  // A main window as the program makes it, its finished notice closed by
  // the test, its outputs in the test's folder (which also answers the
  // first conversion's folder question), the MPEG-4 profile selected.
  void MakeForm(bool ownMessageBox) {
    notice.reset();
    form.reset();
    WindowOptions options;
    options.programFolder = user->ProgramFolder();
    options.installMessageBox = ownMessageBox;
    form = std::make_unique<TLumivaultForm>(options);
    form->CreateSmallForms();
    form->show();
    notice = std::make_unique<NoticeCloser>(form->FinishedRecording);
    form->OutputFolderEdit->setText(QString::fromStdString(outDir + "/"));
    SelectProfile("PSP MPEG-4 320x240");
  }

  std::string Clip(const char* name) const { return clips.path().toStdString() + "/" + name + ".mp4"; }

  // Clicks the button of the window's own message box once it is up and
  // someone has read it for ms.
  void AnswerOwnBoxAfter(QMessageBox::StandardButton button, int ms) {
    auto* poll = new QTimer(form.get());
    connect(poll, &QTimer::timeout, [poll, button, ms] {
      for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* b = qobject_cast<QMessageBox*>(w); b && b->isVisible()) {
          poll->stop();
          QTimer::singleShot(ms, b, [b, button] { b->button(button)->click(); });
          return;
        }
    });
    poll->start(5);
  }

  // Drags a file over the window and drops it; true when the window took it.
  bool Drop(const QString& path) { return DropFiles(form.get(), {path}, form->Panel1->geometry().center()); }

  void SelectProfile(const char* name) {
    int index = form->ProfileCombo->findText(name);
    QVERIFY2(index >= 0, name);
    form->ProfileCombo->setCurrentIndex(index);
    form->ProfileComboChange();
  }

  // Opens the clip and takes playback back to its start, where the
  // conversion then begins.
  void OpenFromStart(const std::string& path) {
    form->OpenVideoFile(QString::fromStdString(path));
    QCOMPARE(Frame().SourceReadiness, 2);
    form->MovePositionLow(0);
  }

  // Seconds of the source converted so far in this pass.
  static double Recorded() { return Frame().IsRecording ? RecordedSeconds() : 0.0; }

  // Waits until the conversion has got seconds into the source.
  bool WaitForProgress(double seconds) {
    return LoopUntil([&] { return Frame().IsRecording && Recorded() >= seconds; }, 60000);
  }

  QTemporaryDir clips{(qEnvironmentVariableIsEmpty("CORVANE_TEST_TMP") ? QDir::tempPath()
                                                                      : qEnvironmentVariable("CORVANE_TEST_TMP")) +
                      "/corvane-clips-XXXXXX"};
  std::filesystem::path programDir;
  std::unique_ptr<FreshUser> user;
  std::unique_ptr<ScriptedMessageBox> box;
  std::unique_ptr<TLumivaultForm> form;
  std::unique_ptr<NoticeCloser> notice;
  std::string outDir;
};

QTEST_MAIN(WindowConversionTest)
#include "test_window_conversion.moc"
