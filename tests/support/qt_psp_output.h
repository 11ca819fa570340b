#pragma once
// Qt Test check of an output the windows wrote: a PSP MP4 (brand MSNV) of
// 320x240 pictures and 48 kHz sound that decodes without errors and lasts
// seconds, within one output frame; codec, when given, is its video codec.
#include <QString>
#include <QTest>

#include <cmath>
#include <string>

#include "tests/support/media_probe.h"

inline void ExpectQtPspOutput(const std::string& path, double seconds, const char* codec = nullptr) {
  constexpr double kOutputFrame = 1001.0 / 30000;
  const MediaProbe p = ProbeMedia(path);
  QVERIFY2(p.opened, path.c_str());
  QCOMPARE(p.majorBrand, std::string("MSNV"));
  QVERIFY(p.hasVideo && p.hasAudio);
  if (codec) QCOMPARE(p.video.codec, std::string(codec));
  QCOMPARE(p.video.width, 320);
  QCOMPARE(p.video.height, 240);
  QCOMPARE(p.video.decodeErrors, 0);
  QCOMPARE(p.audio.sampleRate, 48000);
  QVERIFY2(std::abs(p.video.durationSec - seconds) <= kOutputFrame + 1e-6,
           qPrintable(QString("%1 s instead of %2 s").arg(p.video.durationSec).arg(seconds)));
}
