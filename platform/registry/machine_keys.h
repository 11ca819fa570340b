#pragma once
// The HKEY_LOCAL_MACHINE keys the program reads, answered from the machine.
#include <string>

#include "platform/core/win_types.h"

struct CpuFacts {
  std::string name;  // "ProcessorNameString"
  DWORD mhz = 0;     // "~MHz"
};

// Processor name and speed from the text of /proc/cpuinfo.
CpuFacts ParseCpuInfo(const std::string& cpuinfo);

// True when path (below HKEY_LOCAL_MACHINE, any case) is a key this machine answers.
bool MachineKeyExists(const std::string& path);

// A value of a machine key: type REG_SZ (text) or REG_DWORD (4 bytes).
bool MachineValue(const std::string& path, const std::string& name, DWORD* type, std::string* data);
