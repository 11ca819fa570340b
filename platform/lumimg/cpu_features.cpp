#include "platform/lumimg/cpu_features.h"

// A plain branch on the processor's features rather than function clones:
// sanitizers cannot run the loader's resolvers that clones need.
#if defined(__x86_64__) && defined(__GNUC__)
bool LumHasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
}
#else
bool LumHasAvx2() { return false; }
#endif
