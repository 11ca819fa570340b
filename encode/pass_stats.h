#pragma once
// The video encoder's own two-pass mode. The first pass writes the
// encoder's rate statistics into a file beside the output; the second pass
// encodes the same pictures with them, so that the bits go where the
// pictures need them and the whole lands on the target rate.
//
// libx264 reads and writes its statistics file itself (its "stats" option;
// it keeps a ".mbtree" file beside it and writes both under ".temp" names
// until it closes). The library's own MPEG video encoders hand out one line
// per coded picture (stats_out) and take the whole text when they open
// (stats_in); for them this unit writes and reads the file.
#include <cstdio>
#include <memory>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
}

enum class PassMode { kOnePass, kFirstPass, kSecondPass };

// What the video encoder of one output file does.
struct PassPlan {
  PassMode mode = PassMode::kOnePass;
  std::string statsPath;  // written by the first pass, read by the second
};

// The statistics of one open video encoder (the writer's video side).
class PassStats {
 public:
  // Sets the pass flags and the statistics before the encoder opens. A
  // second pass whose statistics are missing, damaged or refused by the
  // encoder, and an encoder without a two-pass mode, run as one pass
  // (logged).
  void Configure(AVCodecContext* c, AVDictionary** options, const PassPlan& plan);
  // After each packet of the first pass: the statistics of its picture.
  void Take(const AVCodecContext* c);
  // Pictures the second pass has statistics for; 0 for no limit. The
  // library's encoders cannot code a picture beyond them.
  int PictureLimit() const { return limit_; }
  // After the encoder is freed: ends the statistics file.
  void Close();

 private:
  struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };
  bool ConfigureFirstPass(AVCodecContext* c, AVDictionary** options, const PassPlan& plan);
  bool ConfigureSecondPass(AVCodecContext* c, AVDictionary** options, const PassPlan& plan);
  std::unique_ptr<std::FILE, FileCloser> out_;
  std::string in_;  // the second pass's text; the encoder parses it in place
  int limit_ = 0;
};

// Removes a statistics file and what libx264 keeps beside it.
void RemovePassStats(const std::string& statsPath);

// Pictures in the library encoders' statistics text, or -1 when the text
// is damaged: an entry with a field missing or out of range, a picture
// number beyond the entries, a NUL.
int CountStatsEntries(const std::string& text);
