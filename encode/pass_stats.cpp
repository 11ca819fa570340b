#include "encode/pass_stats.h"

#include <cinttypes>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

extern "C" {
#include <libavutil/log.h>
}

#include "core/diag_log.h"
#include "platform/core/child_process.h"

namespace {
// How long a trial opening of the second pass's encoder may take.
constexpr int kTrialTimeoutMs = 10000;

bool IsLibx264(const AVCodecContext* c) { return c->codec && std::strcmp(c->codec->name, "libx264") == 0; }

// The library's encoders whose rate control takes stats_in and hands out
// stats_out: the MPEG video family.
bool HasLibraryPassMode(const AVCodecContext* c) {
  switch (c->codec_id) {
    case AV_CODEC_ID_MPEG4:
    case AV_CODEC_ID_MPEG1VIDEO:
    case AV_CODEC_ID_MPEG2VIDEO:
    case AV_CODEC_ID_H263:
    case AV_CODEC_ID_WMV2: return !IsLibx264(c);
    default: return false;
  }
}

bool ReadWhole(const std::string& path, std::string* text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  text->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

struct StatsEntry {
  int picture = -1, out = 0, type = 0, itex = 0, ptex = 0, mv = 0, misc = 0, fcode = 0, bcode = 0;
  int icount = 0, skip = 0, hbits = 0;
  float q = 0;
  std::int64_t mcVar = 0, var = 0;
};

// One entry as the library's rate control reads it: every field there, and
// within what the encoders write (the picture type and the motion-vector
// codes index tables of theirs).
bool ParseEntry(const std::string& text, StatsEntry* e) {
  const int n = std::sscanf(text.c_str(),
                            " in:%d out:%d type:%d q:%f itex:%d ptex:%d mv:%d misc:%d fcode:%d bcode:%d mc-var:%" SCNd64
                            " var:%" SCNd64 " icount:%d skipcount:%d hbits:%d",
                            &e->picture, &e->out, &e->type, &e->q, &e->itex, &e->ptex, &e->mv, &e->misc, &e->fcode,
                            &e->bcode, &e->mcVar, &e->var, &e->icount, &e->skip, &e->hbits);
  if (n != 15) return false;
  const bool counts = e->picture >= 0 && e->out >= 0 && e->itex >= 0 && e->ptex >= 0 && e->mv >= 0 && e->misc >= 0 &&
                      e->mcVar >= 0 && e->var >= 0 && e->icount >= 0 && e->skip >= 0 && e->hbits >= 0;
  const bool codes = e->fcode >= 1 && e->fcode <= 7 && e->bcode >= 1 && e->bcode <= 7;
  const bool type = e->type >= AV_PICTURE_TYPE_I && e->type <= AV_PICTURE_TYPE_B;
  return counts && codes && type && std::isfinite(e->q) && e->q > 0;
}

// The encoder as configured opens with these statistics. Its rate control
// refuses a plan the pictures cannot meet (a detailed still picture at a low
// rate, say), and in this library version that refusal frees its state
// twice: the trial runs in a child process, so that only the child suffers.
bool OpensWith(AVCodecContext* c, const AVDictionary* options) {
  return SucceedsInChildProcess(
      [&] {
        av_log_set_level(AV_LOG_QUIET);
        AVDictionary* copy = nullptr;
        av_dict_copy(&copy, options, 0);
        c->thread_count = 1;  // the child has only this thread
        const bool opened = avcodec_open2(c, c->codec, &copy) >= 0;
        av_dict_free(&copy);
        return opened;
      },
      kTrialTimeoutMs);
}

// libx264 needs its statistics file and, when its first pass kept one, the
// macroblock-tree file beside it.
bool X264StatsPresent(const std::string& path) {
  std::ifstream in(path);
  std::string options;
  if (!in || !std::getline(in, options)) return false;
  return options.find(" mbtree=1") == std::string::npos || std::ifstream(path + ".mbtree").good();
}
}  // namespace

int CountStatsEntries(const std::string& text) {
  // The encoder reads the text as a C string: a NUL would hide the rest.
  if (text.find('\0') != std::string::npos) return -1;
  int count = 0;
  for (char ch : text) count += ch == ';' ? 1 : 0;
  if (count == 0) return -1;
  std::istringstream in(text);
  std::string entry;
  for (int i = 0; i < count && std::getline(in, entry, ';'); ++i) {
    StatsEntry e;
    if (!ParseEntry(entry, &e) || e.picture >= count) return -1;
  }
  return count;
}

bool PassStats::ConfigureFirstPass(AVCodecContext* c, AVDictionary** options, const PassPlan& plan) {
  if (IsLibx264(c)) {
    av_dict_set(options, "stats", plan.statsPath.c_str(), 0);
  } else if (HasLibraryPassMode(c)) {
    out_.reset(std::fopen(plan.statsPath.c_str(), "w"));
    if (!out_) return false;
  } else {
    return false;
  }
  c->flags |= AV_CODEC_FLAG_PASS1;
  return true;
}

bool PassStats::ConfigureSecondPass(AVCodecContext* c, AVDictionary** options, const PassPlan& plan) {
  if (IsLibx264(c)) {
    if (!X264StatsPresent(plan.statsPath)) return false;
    av_dict_set(options, "stats", plan.statsPath.c_str(), 0);
  } else if (HasLibraryPassMode(c)) {
    if (!ReadWhole(plan.statsPath, &in_) || (limit_ = CountStatsEntries(in_)) <= 0) return false;
    c->stats_in = in_.data();
  } else {
    return false;
  }
  c->flags |= AV_CODEC_FLAG_PASS2;
  if (OpensWith(c, *options)) return true;
  c->flags &= ~AV_CODEC_FLAG_PASS2;
  c->stats_in = nullptr;
  av_dict_set(options, "stats", nullptr, 0);
  return false;
}

void PassStats::Configure(AVCodecContext* c, AVDictionary** options, const PassPlan& plan) {
  Close();
  if (plan.mode == PassMode::kOnePass) return;
  const bool first = plan.mode == PassMode::kFirstPass;
  const bool ready = first ? ConfigureFirstPass(c, options, plan) : ConfigureSecondPass(c, options, plan);
  if (!ready) Close();
  if (ready) WriteLog("%s pass, statistics %s", first ? "First" : "Second", plan.statsPath.c_str());
  else if (first) WriteLog("The first pass cannot keep statistics in %s: one pass", plan.statsPath.c_str());
  else WriteLog("The second pass cannot use the statistics in %s: one pass", plan.statsPath.c_str());
}

void PassStats::Take(const AVCodecContext* c) {
  if (out_ && c->stats_out) std::fputs(c->stats_out, out_.get());
}

void PassStats::Close() {
  out_.reset();
  in_.clear();
  limit_ = 0;
}

void RemovePassStats(const std::string& statsPath) {
  for (const char* suffix : {"", ".temp", ".mbtree", ".mbtree.temp"}) std::remove((statsPath + suffix).c_str());
}
