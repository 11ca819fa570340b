#include "encode/pass_stats.h"

#include <cinttypes>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

#include "app/core/diag_log.h"

namespace {
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

bool FileExists(const std::string& path) { return std::ifstream(path).good(); }

bool ReadWhole(const std::string& path, std::string* text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  text->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

// libx264 needs its statistics file and, when its first pass kept one, the
// macroblock-tree file beside it; without them it refuses to open.
bool X264StatsPresent(const std::string& path) {
  std::ifstream in(path);
  std::string options;
  if (!in || !std::getline(in, options)) return false;
  return options.find(" mbtree=1") == std::string::npos || FileExists(path + ".mbtree");
}

// The coarsest quantizer of the library's rate control (its "lmax", 31 in
// quantizer units) and its factors for intra and bidirectional pictures.
constexpr double kLambdaMax = 31.0 * FF_QP2LAMBDA;
// A plan is only handed over with this room below the target.
constexpr double kPlanRoom = 0.9;

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

// The bits of one picture at the coarsest quantizer its type may take.
double LeastBits(const StatsEntry& e) {
  double lambdaMax = kLambdaMax;
  if (e.type == AV_PICTURE_TYPE_I) lambdaMax *= 0.8;
  if (e.type == AV_PICTURE_TYPE_B) lambdaMax *= 1.25;
  return e.q * (static_cast<double>(e.itex) + e.ptex + 1) / lambdaMax + e.mv + e.misc;
}
}  // namespace

StatsSummary SummariseStats(const std::string& text) {
  StatsSummary summary;
  int count = 0;
  for (char ch : text) count += ch == ';' ? 1 : 0;
  if (count == 0) return summary;
  std::istringstream in(text);
  std::string entry;
  double least = 0;
  for (int i = 0; i < count && std::getline(in, entry, ';'); ++i) {
    StatsEntry e;
    if (!ParseEntry(entry, &e) || e.picture >= count) return summary;
    least += LeastBits(e);
  }
  summary.entries = count;
  summary.leastBits = least;
  return summary;
}

bool SecondPassCanUse(const StatsSummary& stats, double bitRate, double secondsPerPicture) {
  if (stats.entries <= 0 || bitRate <= 0 || secondsPerPicture <= 0) return false;
  return stats.leastBits <= kPlanRoom * bitRate * stats.entries * secondsPerPicture;
}

bool PassStats::ConfigureLibraryEncoder(AVCodecContext* c, const PassPlan& plan) {
  if (plan.mode == PassMode::kFirstPass) {
    out_.reset(std::fopen(plan.statsPath.c_str(), "w"));
    if (!out_) return false;
    c->flags |= AV_CODEC_FLAG_PASS1;
    return true;
  }
  if (!ReadWhole(plan.statsPath, &in_)) return false;
  const StatsSummary stats = SummariseStats(in_);
  if (!SecondPassCanUse(stats, static_cast<double>(c->bit_rate), av_q2d(c->time_base))) {
    in_.clear();
    return false;
  }
  limit_ = stats.entries;
  c->stats_in = in_.data();
  c->flags |= AV_CODEC_FLAG_PASS2;
  return true;
}

void PassStats::Configure(AVCodecContext* c, AVDictionary** options, const PassPlan& plan) {
  Close();
  if (plan.mode == PassMode::kOnePass) return;
  const bool first = plan.mode == PassMode::kFirstPass;
  bool ready = false;
  if (IsLibx264(c)) {
    ready = first || X264StatsPresent(plan.statsPath);
    if (ready) {
      av_dict_set(options, "stats", plan.statsPath.c_str(), 0);
      c->flags |= first ? AV_CODEC_FLAG_PASS1 : AV_CODEC_FLAG_PASS2;
    }
  } else if (HasLibraryPassMode(c)) {
    ready = ConfigureLibraryEncoder(c, plan);
  }
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
