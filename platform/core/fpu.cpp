#include "platform/core/fpu.h"

#include <cfenv>

#if defined(__i386__) || defined(__x86_64__)
#include <fpu_control.h>
#endif

void SetFpu53BitMasked() {
  // On x86-64 doubles are computed in SSE registers and already have 53-bit
  // precision; the x87 control word still matters for long double code in
  // libraries, so it is set as on the original platform.
#if defined(__i386__) || defined(__x86_64__)
  fpu_control_t cw = _FPU_DEFAULT;  // all exceptions masked, round to nearest
  cw = (cw & ~_FPU_EXTENDED) | _FPU_DOUBLE;
  _FPU_SETCW(cw);
#endif
  std::feclearexcept(FE_ALL_EXCEPT);
}
