#pragma once
// Ctrl-C (SIGINT) and SIGTERM during a batch: the first one asks the batch
// to stop the current file cleanly; a second one ends the program at once.

// Installs the handlers and ignores SIGPIPE, so that a closed pipe on
// standard output cannot end a conversion half-way.
void InstallStopSignals();

// True once a stop signal has arrived.
bool StopSignalled();
