#pragma once
// The start-up listing of the installed filters that could play a DVD: the
// navigators, the DVD video decoders and the DVD audio decoders, each
// written to the diagnostic log by its friendly name.

// Writes the three listings; returns the number of DVD video decoders found.
int ListInstalledDvdFilters();
