#pragma once
// When tool tips come up and how long they stay, for the whole program.

// Tool tips appear after showAfterMs of hovering and stay for keepUpMs.
void SetToolTipTiming(int showAfterMs, int keepUpMs);

// The hover delay last set (the toolkit's usual 700 ms before that); the
// program's style answers it as its tool-tip wake-up hint.
int ToolTipShowDelay();
