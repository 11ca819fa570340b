// Per-channel sample-rate conversion over libswresample.
extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cmath>

#include "platform/lumimg/lumimg.h"

namespace {
struct SwrDeleter {
  void operator()(SwrContext* s) const { swr_free(&s); }
};

class SwrResampler : public LumResampler {
 public:
  SwrResampler(SwrContext* ctx, int srcRate, int outRate) : ctx_(ctx), srcRate_(srcRate), outRate_(outRate) {}

  int Convert(const std::int16_t* in, int n, std::int16_t* out, int outCapacity) override {
    if (n < 0 || outCapacity <= 0) return 0;
    const std::uint8_t* inPlanes[1] = {reinterpret_cast<const std::uint8_t*>(in)};
    std::uint8_t* outPlanes[1] = {reinterpret_cast<std::uint8_t*>(out)};
    int got = swr_convert(ctx_.get(), outPlanes, outCapacity, n > 0 ? inPlanes : nullptr, n);
    return std::max(got, 0);
  }

  int MaxOutput(int n) const override {
    // Input plus what the filter holds, at the output rate, with room to spare.
    return static_cast<int>(std::ceil((n + 64.0) * outRate_ / srcRate_)) + 64;
  }

 private:
  std::unique_ptr<SwrContext, SwrDeleter> ctx_;
  int srcRate_;
  int outRate_;
};

// Equal rates need no filter: the samples pass through unchanged.
class CopyResampler : public LumResampler {
 public:
  int Convert(const std::int16_t* in, int n, std::int16_t* out, int outCapacity) override {
    int count = std::clamp(n, 0, outCapacity);
    std::copy_n(in, count, out);
    return count;
  }
  int MaxOutput(int n) const override { return n; }
};

int PhaseShiftFor(int phases) {
  int shift = 0;
  while ((1 << (shift + 1)) <= phases && shift < 24) ++shift;
  return std::max(shift, 1);
}
}  // namespace

std::unique_ptr<LumResampler> LumResampler::Create(int srcRate, int outRate, int phases, double cutoff,
                                                   double kaiserBeta, int linearInterp) {
  if (srcRate <= 0 || outRate <= 0) return nullptr;
  if (srcRate == outRate) return std::make_unique<CopyResampler>();
  SwrContext* raw = nullptr;
  AVChannelLayout mono = AV_CHANNEL_LAYOUT_MONO;
  if (swr_alloc_set_opts2(&raw, &mono, AV_SAMPLE_FMT_S16, outRate, &mono, AV_SAMPLE_FMT_S16, srcRate, 0,
                          nullptr) < 0)
    return nullptr;
  std::unique_ptr<SwrContext, SwrDeleter> ctx(raw);
  av_opt_set_int(raw, "phase_shift", PhaseShiftFor(phases), 0);
  av_opt_set_double(raw, "cutoff", cutoff, 0);
  av_opt_set_double(raw, "kaiser_beta", kaiserBeta, 0);
  av_opt_set_int(raw, "linear_interp", linearInterp, 0);
  av_opt_set_int(raw, "filter_type", SWR_FILTER_TYPE_KAISER, 0);
  if (swr_init(raw) < 0) return nullptr;
  return std::make_unique<SwrResampler>(ctx.release(), srcRate, outRate);
}
