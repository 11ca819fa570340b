// The output panel's text and arithmetic rules: the estimate, the time
// cells, the picture size a profile gets from its source, and the output
// path for a typed folder.
#include <QTest>

#include "app/window/output_panel_rules.h"

class OutputPanelRulesTest : public QObject {
  Q_OBJECT

 private slots:
  void EstimateShowsMegabytesPerMinuteAndForTheTitle() {
    // 446 kbit/s: 446 * 60 * 0.125 / 1024 = 3.27.
    QCOMPARE(MbPerMinuteText(350, 96), std::string("About 3.3 MB per minute"));
    // 90 minutes at 446 kbit/s are 294.0 MB; the estimate adds half a
    // megabyte before it rounds.
    QCOMPARE(EstimatedSizeText(5400, 350, 96), std::string("Estimated size: 294 MB"));
    QCOMPARE(EstimatedSizeText(0, 350, 96), std::string("Estimated size: 0 MB"));
  }

  void TimeCellsTakeSecondsMinutesOrHours() {
    QCOMPARE(ParseTimeCell("90"), 90);
    QCOMPARE(ParseTimeCell("1:30"), 90);
    QCOMPARE(ParseTimeCell("0:01:30"), 90);
    QCOMPARE(ParseTimeCell("2:00:05"), 7205);
    QCOMPARE(ParseTimeCell("Full"), 0);
    QCOMPARE(ParseTimeCell(""), 0);
    // No negative range, and no overflow from many digits.
    QCOMPARE(ParseTimeCell("-5"), 0);
    QCOMPARE(ParseTimeCell("999999999:0:0"), 2147483647);
    QCOMPARE(DurationCellText(90), std::string("0:01:30"));
    QCOMPARE(DurationCellText(0), std::string("Full"));
    QCOMPARE(HmsText(3600), std::string("1:00:00"));
  }

  void LeadingNumbersOfCells() {
    QCOMPARE(LeadingInt("768 kbps"), 768);
    QCOMPARE(LeadingInt("kbps"), 0);
    QCOMPARE(LeadingReal("29.97 fps"), 29.97);
    QCOMPARE(LeadingReal("14.985"), 14.985);
  }

  void PictureSizeFollowsTheSourceAspect() {
    // 720x576 is narrower than 4:3 and is treated as 4:3.
    QCOMPARE(PspPictureSize(720, 576, "320x240", "mpeg4", "PSP", 0), std::string("320x240"));
    QCOMPARE(PspPictureSize(1280, 720, "320x240", "mpeg4", "PSP", 0), std::string("368x208"));
    QCOMPARE(PspPictureSize(1920, 800, "320x240", "mpeg4", "PSP", 0), std::string("400x192"));
    // The squeeze of very wide sources is for other devices than the PSP.
    QCOMPARE(PspPictureSize(1920, 800, "320x240", "mpeg4", "PC", 1), std::string("368x208"));
    QCOMPARE(PspPictureSize(1920, 800, "320x240", "mpeg4", "PSP", 1), std::string("400x192"));
    QCOMPARE(PspPictureSize(1280, 720, "320x240", "mpeg4", "PC", 2), std::string("320x240"));
  }

  void PictureSizeIsLeftAloneWithoutASourceOrForH263() {
    QCOMPARE(PspPictureSize(0, 0, "320x240", "mpeg4", "PSP", 0), std::string());
    QCOMPARE(PspPictureSize(1280, 720, "176x144", "h263", "mobile3gp", 0), std::string());
    QCOMPARE(PspPictureSize(1280, 720, "0x0", "mpeg4", "PSP", 0), std::string());
  }

  void TypedFolderKeepsTheFileName() {
    QCOMPARE(OutputPathInFolder("/media/videos/", "/home/me/PSP Movie/M4V20001.MP4", 2),
             std::string("/media/videos/M4V20001.MP4"));
    QCOMPARE(OutputPathInFolder("/media/videos", "/home/me/M4V20001.MP4", 2), std::string("/media/videos/M4V20001.MP4"));
    QCOMPARE(OutputPathInFolder("/media/videos", "clip.mp4", 1), std::string("/media/videos/untitled.wmv"));
    QCOMPARE(FolderWithSlash("/home/me/PSP Movie/M4V20001.MP4"), std::string("/home/me/PSP Movie/"));
    QCOMPARE(FolderWithSlash("clip.mp4"), std::string());
  }

  void SaveAsFilterFollowsTheOutputFormat() {
    QCOMPARE(QtFilterText(SaveAsFilter(3)), std::string("AVI (*.avi)"));
    QCOMPARE(QtFilterText(SaveAsFilter(1)), std::string("WMV (*.wmv)"));
    QCOMPARE(QtFilterText(SaveAsFilter(6)), std::string("MP4 (*.mp4)"));
  }
};

QTEST_APPLESS_MAIN(OutputPanelRulesTest)
#include "test_output_panel_rules.moc"
