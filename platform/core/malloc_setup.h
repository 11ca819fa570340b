#pragma once
// The C library allocator's set-up, made once at start-up before any thread
// runs.

// Blocks from 128 KiB up (frame-sized) get pages of their own, handed back
// to the system when freed. By default the C library raises that threshold
// to the largest such block freed so far (a decoded HD picture: megabytes);
// smaller blocks then come from the arenas of the many streaming threads,
// where the freed ones stay in memory between the blocks in use.
void KeepLargeBlocksOnTheirOwnPages();
