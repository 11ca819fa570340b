// What the processor offers beyond the x86-64 baseline, for the picture
// loops that have a wider-vector version.
#pragma once

// True where the processor (and the build) can run AVX2 code.
bool LumHasAvx2();
