#pragma once
// The window's side of a conversion, without widgets: the Convert command
// and its questions, the progress line, and the 500 ms timer with the
// end-of-range check and the speed supervision. The Qt window and the
// headless host both run these.
#include <string>

#include "platform/core/win_types.h"

// Convert (StartRecordingButton and EncodeMenu).
void StartRecordingButtonClick();

// WM_RECORD_PROGRESS; lParam -1 means the recording has finished.
void OnRecordProgress(WPARAM wParam, LPARAM lParam);

// One tick of PerformanceMonitor.
void PerformanceMonitorTimer();

// Seconds of source converted so far in this pass.
double RecordedSeconds();

// The figures of the progress line (sizes in MiB), up to the output's path:
// percentage, recorded, elapsed and remaining time, output size and estimate.
std::string ProgressFigures(int passCount, int currentPass, double recorded, double recordLength, double elapsed,
                            double outputMiB);
