#pragma once
// Audio arithmetic of the recording encoder: the size of each one-frame
// audio block and the channel conversion to one or two output channels.
#include <cstdint>

// Sample frames of the next block for x = source rate / frame rate, carrying
// the fraction in remainder from block to block.
int NextAudioBlockSize(double x, double& remainder);

// Bytes that must be buffered before a block may be taken.
int AudioBlockThresholdBytes(double x, int srcChannels);

// Converts n interleaved sample frames of srcChannels channels into the first
// (a) and, for stereo output, second (b) output channel. Halving truncates
// toward zero; sums are formed in 32 bits and clipped to 16 bits.
void ConvertChannels(const std::int16_t* src, int n, int srcChannels, int outChannels, int monoChoice,
                     std::int16_t* a, std::int16_t* b);
