#include "platform/core/malloc_setup.h"

#include <malloc.h>

void KeepLargeBlocksOnTheirOwnPages() { mallopt(M_MMAP_THRESHOLD, 128 * 1024); }
