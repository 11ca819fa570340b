// The stretch that fits a source to the output's 4:3 frame, and the video's
// place inside the panel.
#include <QTest>

#include "app/window/video_geometry.h"

class VideoGeometryTest : public QObject {
  Q_OBJECT

 private slots:
  void WideSourceIsStretchedByHundredths() {
    // 320 wide output, 16:9 source: h43 = 240, hA = 192, the first branch.
    QCOMPARE(AutoStretchFactor(320, 1920, 1080, CropFractions{}), 1.34);
    QCOMPARE(AutoStretchFactor(320, 640, 480, CropFractions{}), 1.0);
  }

  void NarrowCropIsSqueezed() {
    // The middle half of a 4:3 picture has aspect 2:3; 320 / (2/3) = 480
    // rows is more than 240, so the second branch: 100 / 200.
    CropFractions crop{0.25, 0.0, 0.75, 1.0};
    QCOMPARE(AutoStretchFactor(320, 640, 480, crop), 0.5);
  }

  void DegenerateInputsKeepTheStretch() {
    QCOMPARE(AutoStretchFactor(0, 640, 480, CropFractions{}), 1.0);
    QCOMPARE(AutoStretchFactor(320, 640, 0, CropFractions{}), 1.0);
    CropFractions empty{0.5, 0.5, 0.5, 0.5};
    QCOMPARE(AutoStretchFactor(320, 640, 480, empty), 1.0);
  }

  void VideoIsCentredInThePanel() {
    VideoPlacement p = PlaceVideo(467, 350, 1280, 720, 1.0, CropFractions{});
    QCOMPARE(p.width, 467);
    QCOMPARE(p.height, 263);  // 467 / (16/9), rounded
    QCOMPARE(p.top, 43);      // (350 - 263) / 2
  }

  void CropBelowThePanelMovesTheVideoUp() {
    // A stretched 4:3 source is taller than the panel (469 rows, centred at
    // -59); the crop's lower three quarters would end 60 rows below the
    // panel, so the video moves up by that much.
    VideoPlacement p = PlaceVideo(467, 350, 640, 480, 1.34, CropFractions{0.0, 0.25, 1.0, 1.0});
    QCOMPARE(p.height, 469);
    QCOMPARE(p.top, -119);
    QCOMPARE(p.top + p.height, 350);
  }
};

QTEST_APPLESS_MAIN(VideoGeometryTest)
#include "test_video_geometry.moc"
