#pragma once
// The user's message for an output that could not be opened.
#include "encode/output_failure.h"

// Logs the failure where the writer has not, and tells the user in the
// texts the encoder's caller handed over.
void TellOutputFailure(const OutputFailure& failure);
