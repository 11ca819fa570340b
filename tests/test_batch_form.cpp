// The batch window driven through its widgets on the offscreen platform, as
// a user does: a file added with the file dialog, others (one no video) by
// dropping them, one removed, the output folder typed, Convert all pressed; Stop while a file
// converts, a file dropped meanwhile, the rest converted afterwards. The
// batch runs the real engine on its own thread; outputs are judged by
// decoding them.
#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "app/batchwindow/batch_file_table.h"
#include "app/batchwindow/batch_form.h"
#include "settings/settings_store.h"
#include "tests/fixtures/fixtures.h"
#include "tests/support/fresh_user.h"
#include "tests/support/media_probe.h"
#include "tests/support/qt_drop.h"
#include "tests/support/qt_psp_output.h"
#include "tests/support/test_support.h"

// Qt and GLib are not built for ThreadSanitizer: what happens inside their
// own threads is reported without the synchronisation they do there.
extern "C" const char* __tsan_default_suppressions() {
  return "race:libavcodec.so*\nrace:libavutil.so*\nrace:libswresample.so*\nrace:libavfilter.so*\nrace:libSDL2*\n"
         "race:libx264.so*\ncalled_from_lib:libQt6Core.so.6\ncalled_from_lib:libQt6Gui.so.6\n"
         "called_from_lib:libQt6Widgets.so.6\ncalled_from_lib:libQt6Test.so.6\ncalled_from_lib:libglib-2.0.so.0\n";
}

namespace {
// A batch that has not ended by then has hung.
constexpr int kBatchLimitMs = 300000;
using Col = BatchFileTable::Column;
}  // namespace

class BatchFormTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    // A batch makes no sound; the file dialog is Qt's own, as on a desktop
    // without a native one.
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    programs = std::filesystem::current_path();
  }

  void init() {
    user = std::make_unique<FreshUser>();
    clips = QString::fromStdString(user->Temp() + "/clips");
    out = QString::fromStdString(user->Temp() + "/out");
    std::filesystem::create_directories(S(clips));
    form = std::make_unique<TBatchForm>(user->ProgramFolder());
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
  }

  void cleanup() {
    form.reset();
    // The engine works in the program folder, which goes with the user; the
    // next user's shipped files are copied from beside the programs.
    std::filesystem::current_path(programs);
    user.reset();
  }

  void ConvertsTheFilesAndAFileThatIsNoVideoFailsWithItsMessage() {
    const QString good1 = Clip(FixtureKind::kH264AacMp4, 2.0, "good1.mp4");
    WriteFileBytes(S(clips) + "/notes.txt", "this is not a video\n");
    const QString good2 = Clip(FixtureKind::kMpeg2Mp2Ps, 3.0, "good2.mpg");
    const QString extra = Clip(FixtureKind::kH264AacMp4, 1.0, "extra.mp4");
    AddWithTheFileDialog("good1.mp4");
    QVERIFY(Drop({clips + "/notes.txt", good2, extra}));
    QCOMPARE(form->FileList->rowCount(), 4);
    QTRY_COMPARE_WITH_TIMEOUT(Cell(0, Col::kLength), QString("0:00:02"), 30000);
    QTRY_COMPARE_WITH_TIMEOUT(Cell(2, Col::kLength), QString("0:00:03"), 30000);
    QCOMPARE(Cell(1, Col::kLength), QString("-"));
    for (int row = 0; row < 4; ++row) QCOMPARE(Cell(row, Col::kState), QString("Waiting"));

    // The extra file goes again before anything converts.
    ClickRow(3);
    QTest::mouseClick(form->RemoveBtn, Qt::LeftButton);
    QCOMPARE(form->FileList->rowCount(), 3);

    // A first run converts for the PSP; the outputs go where the user types.
    QCOMPARE(form->ProfileCombo->currentText(), QString("PSP MPEG-4 320x240"));
    TypeOutputFolder();
    QTest::mouseClick(form->ConvertAllBtn, Qt::LeftButton);
    QVERIFY(form->Running());
    QVERIFY(!form->ConvertAllBtn->isEnabled());
    QVERIFY(!form->ProfileCombo->isEnabled());
    QVERIFY(WaitForTheEnd());

    QCOMPARE(Cell(0, Col::kState), QString("Converted"));
    QVERIFY2(Cell(0, Col::kMessage).startsWith("M4V20001.MP4: 0:00:02 converted in"), qPrintable(Cell(0, Col::kMessage)));
    QCOMPARE(Cell(1, Col::kState), QString("Failed"));
    QCOMPARE(Cell(1, Col::kMessage),
             "Cannot open " + clips + "/notes.txt It is not a video or sound file this converter can read.");
    QCOMPARE(Cell(2, Col::kState), QString("Converted"));
    QVERIFY2(Cell(2, Col::kMessage).startsWith("M4V20002.MP4: 0:00:03"), qPrintable(Cell(2, Col::kMessage)));
    QCOMPARE(form->FileList->Progress(form->FileList->IdAt(0)), 100);
    QVERIFY2(form->SummaryLabel->text().startsWith("Converted 2 of 3 file(s) in "), qPrintable(form->SummaryLabel->text()));
    QVERIFY(form->OpenOutputFolderBtn->isVisible());
    QVERIFY(form->ConvertAllBtn->isEnabled());
    ExpectQtPspOutput(S(out) + "/M4V20001.MP4", 2.0, "mpeg4");
    ExpectQtPspOutput(S(out) + "/M4V20002.MP4", 3.0, "mpeg4");
    QVERIFY(!std::filesystem::exists(S(out) + "/M4V20003.MP4"));
    for (const char* thm : {"/M4V20001.THM", "/M4V20002.THM"}) QVERIFY(ReadFileBytes(S(out) + thm).size() > 1000);
    // The numbers and the folder are the settings the main window and
    // batchvc go on from.
    QCOMPARE(ReadSettingInt("OutputConfig\\file_number", 0), 20003);
    QCOMPARE(std::string(ReadSettingText("OutputConfig\\LastOutput", "")).rfind(S(out) + "/M4V2000", 0), 0u);
  }

  void StopFinishesTheFileUnderWayAndTheQueueWaitsForTheNextConvertAll() {
    const QString longClip = Clip(FixtureKind::kHd720, 30.0, "long.mp4");
    const QString later = Clip(FixtureKind::kH264AacMp4, 2.0, "later.mp4");
    QVERIFY(Drop({longClip}));
    TypeOutputFolder();
    QTest::mouseClick(form->ConvertAllBtn, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(form->FileList->Progress(form->FileList->IdAt(0)) >= 5, 120000);
    // The window takes a file while it converts another: it joins the batch.
    QVERIFY(Drop({later}));
    QCOMPARE(Cell(1, Col::kState), QString("Waiting"));
    QTest::mouseClick(form->StopBtn, Qt::LeftButton);
    QCOMPARE(Cell(0, Col::kState), QString("Stopping"));
    QVERIFY(WaitForTheEnd());

    QCOMPARE(Cell(0, Col::kState), QString("Stopped"));
    QVERIFY2(Cell(0, Col::kMessage).contains("is playable up to"), qPrintable(Cell(0, Col::kMessage)));
    const MediaProbe stopped = ProbeMedia(S(out) + "/M4V20001.MP4");
    QVERIFY(stopped.opened && stopped.hasVideo && stopped.hasAudio);
    QCOMPARE(stopped.video.decodeErrors, 0);
    QVERIFY2(stopped.video.durationSec > 1.0 && stopped.video.durationSec < 29.0,
             qPrintable(QString::number(stopped.video.durationSec)));
    QCOMPARE(Cell(1, Col::kState), QString("Waiting"));
    QVERIFY2(form->SummaryLabel->text().contains("1 file(s) not started: the batch was stopped"),
             qPrintable(form->SummaryLabel->text()));

    QTest::mouseClick(form->ConvertAllBtn, Qt::LeftButton);
    QVERIFY(WaitForTheEnd());
    QCOMPARE(Cell(1, Col::kState), QString("Converted"));
    QVERIFY2(form->SummaryLabel->text().startsWith("Converted 1 of 1 file(s)"), qPrintable(form->SummaryLabel->text()));
    ExpectQtPspOutput(S(out) + "/M4V20002.MP4", 2.0, "mpeg4");
  }

 private:
  static std::string S(const QString& s) { return s.toStdString(); }

  QString Clip(FixtureKind kind, double seconds, const QString& name) {
    const QString path = clips + "/" + name;
    const std::string err = MakeFixture(kind, S(path), seconds);
    if (!err.empty()) qWarning("%s: %s", qPrintable(name), err.c_str());
    return path;
  }

  QString Cell(int row, Col column) const { return form->FileList->Text(form->FileList->IdAt(row), column); }

  void ClickRow(int row) {
    QTableWidgetItem* item = form->FileList->item(row, Col::kName);
    QTest::mouseClick(form->FileList->viewport(), Qt::LeftButton, Qt::NoModifier,
                      form->FileList->visualItemRect(item).center());
  }

  // Presses "Add files ...", goes to the clips in the dialog, types the
  // file's name and presses Open.
  void AddWithTheFileDialog(const QString& name) {
    bool typed = false;
    QTimer pick;
    connect(&pick, &QTimer::timeout, this, [&] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      if (!dialog || !dialog->isVisible()) return;
      pick.stop();
      dialog->setDirectory(clips);
      auto* edit = dialog->findChild<QLineEdit*>("fileNameEdit");
      auto* buttons = dialog->findChild<QDialogButtonBox*>("buttonBox");
      if (!edit || !buttons) {
        dialog->reject();
        return;
      }
      edit->setFocus();
      QTest::keyClicks(edit, name);
      // The dialog reads the folder on a thread of its own first.
      QPushButton* open = buttons->button(QDialogButtonBox::Open);
      typed = open && QTest::qWaitFor([open] { return open->isEnabled(); }, 10000);
      if (typed) QTest::mouseClick(open, Qt::LeftButton);
      else dialog->reject();
    });
    pick.start(10);
    QTest::mouseClick(form->AddFilesBtn, Qt::LeftButton);
    QVERIFY(typed);
  }

  // Drags files over the list and drops them.
  bool Drop(const QStringList& paths) {
    return DropFiles(form.get(), paths, form->FileList->geometry().center());
  }

  void TypeOutputFolder() {
    form->OutputFolderEdit->setFocus();
    QTest::keyClick(form->OutputFolderEdit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(form->OutputFolderEdit, out);
  }

  bool WaitForTheEnd() {
    return QTest::qWaitFor([&] { return !form->Running() && form->ConvertAllBtn->isEnabled(); }, kBatchLimitMs);
  }

  std::filesystem::path programs;
  std::unique_ptr<FreshUser> user;
  std::unique_ptr<TBatchForm> form;
  QString clips, out;
};

QTEST_MAIN(BatchFormTest)
#include "test_batch_form.moc"
