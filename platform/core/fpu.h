#pragma once
// The floating-point set-up the design gives the process and every encoding
// thread: 53-bit precision, all exceptions masked.
void SetFpu53BitMasked();
