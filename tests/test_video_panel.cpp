// The video panel's frames: packed 4:2:2 from the renderer's thread turned
// into pictures, and the paused picture's crop outline.
#include <QImage>
#include <QTest>
#include <thread>
#include <vector>

#include "core/frame_state.h"
#include "app/window/screen_image.h"
#include "app/window/video_panel.h"
#include "app/window/yuy2_image.h"

namespace {
// A width x height YUY2 picture of one colour.
std::vector<unsigned char> Yuy2(int width, int height, unsigned char y, unsigned char u, unsigned char v) {
  std::vector<unsigned char> data(static_cast<size_t>(width) * height * 2);
  for (size_t i = 0; i < data.size(); i += 4) {
    data[i] = y;
    data[i + 1] = u;
    data[i + 2] = y;
    data[i + 3] = v;
  }
  return data;
}
}  // namespace

class VideoPanelTest : public QObject {
  Q_OBJECT

 private slots:
  void StudioRangeBecomesFullRangeRgb() {
    auto white = Yuy2(4, 2, 235, 128, 128);
    QImage w = Yuy2ToImage(white.data(), 4, 2);
    QCOMPARE(w.pixel(3, 1), qRgb(255, 255, 255));
    auto black = Yuy2(4, 2, 16, 128, 128);
    QCOMPARE(Yuy2ToImage(black.data(), 4, 2).pixel(0, 0), qRgb(0, 0, 0));
    // BT.601 red: Y 81, U 90, V 240.
    auto red = Yuy2(2, 1, 81, 90, 240);
    QRgb r = Yuy2ToImage(red.data(), 2, 1).pixel(1, 0);
    QVERIFY(qRed(r) >= 250 && qGreen(r) <= 5 && qBlue(r) <= 5);
  }

  void EachPixelOfAPairKeepsItsOwnLuma() {
    unsigned char pair[4] = {16, 128, 235, 128};
    QImage img = Yuy2ToImage(pair, 2, 1);
    QCOMPARE(img.pixel(0, 0), qRgb(0, 0, 0));
    QCOMPARE(img.pixel(1, 0), qRgb(255, 255, 255));
  }

  void SizesThatMakeNoPictureAreRefused() {
    unsigned char pair[4] = {};
    QVERIFY(Yuy2ToImage(pair, 3, 1).isNull());
    QVERIFY(Yuy2ToImage(pair, 0, 1).isNull());
    QVERIFY(Yuy2ToImage(nullptr, 2, 1).isNull());
  }

  void FramesFromTheRenderersThreadBecomeTheLastFrame() {
    VideoPanel panel;
    QVERIFY(panel.LastFrame().isNull());
    auto grey = Yuy2(320, 240, 126, 128, 128);
    std::thread renderer([&] { panel.PresentFrame(grey.data(), 320, 240, 0); });
    renderer.join();
    QImage last = panel.LastFrame();
    QCOMPARE(last.size(), QSize(320, 240));
    QCOMPARE(qGreen(last.pixel(100, 100)), 128);
    panel.ClearFrame();
    QVERIFY(panel.LastFrame().isNull());
  }

  void CropOutlineSitsOnTheCropFractions() {
    QCOMPARE(TScreenImage::CropOutline(467, 350, 0, 0, 1, 1), QRect(0, 0, 467, 350));
    QCOMPARE(TScreenImage::CropOutline(400, 300, 0.1, 0.25, 0.9, 0.75), QRect(40, 75, 320, 150));
  }

  void PausedPictureDrawsTheOutlineInItsColour() {
    TScreenImage image;
    image.resize(40, 30);
    QImage grey(8, 6, QImage::Format_RGB32);
    grey.fill(qRgb(0x40, 0x40, 0x40));
    image.SetPicture(grey);
    Frame().PlaybackState = 1;
    Frame().CropRect = CropFractions{0.25, 0.0, 0.75, 1.0};
    QImage shot = image.grab().toImage();
    QCOMPARE(shot.pixel(10, 15), QColor(0xDD, 0xFF, 0x00).rgb());  // left edge of the crop
    QCOMPARE(shot.pixel(5, 15), qRgb(0x40, 0x40, 0x40));            // picture outside it
    Frame().CropRect = CropFractions{};
  }
};

QTEST_MAIN(VideoPanelTest)
#include "test_video_panel.moc"
