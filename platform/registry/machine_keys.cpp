#include "platform/registry/machine_keys.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/registry/reg_text.h"

namespace {
const char kCpuKey[] = "hardware\\description\\system\\centralprocessor\\0";
const char kProductOptions[] = "system\\currentcontrolset\\control\\productoptions";

std::string ReadSmallFile(const char* path) {
  std::ifstream in(path, std::ios::binary);
  std::string text;
  char buf[4096];
  while (in && text.size() < (1u << 20)) {
    in.read(buf, sizeof(buf));
    text.append(buf, static_cast<size_t>(in.gcount()));
  }
  return text;
}

std::string TrimBlanks(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return "";
  return s.substr(b, s.find_last_not_of(" \t\r\n") - b + 1);
}

CpuFacts MachineCpu() {
  CpuFacts facts = ParseCpuInfo(ReadSmallFile("/proc/cpuinfo"));
  if (facts.mhz == 0) {
    // Processors that do not report a speed in /proc/cpuinfo (most ARM ones).
    std::string khz = ReadSmallFile("/sys/devices/system/cpu/cpu0/cpufreq/cpuinfo_max_freq");
    facts.mhz = static_cast<DWORD>(std::strtoul(khz.c_str(), nullptr, 10) / 1000);
  }
  if (facts.name.empty()) facts.name = "Unknown processor";
  return facts;
}

std::string DwordBytes(DWORD v) { return std::string(reinterpret_cast<const char*>(&v), 4); }
}  // namespace

CpuFacts ParseCpuInfo(const std::string& cpuinfo) {
  CpuFacts facts;
  std::string fallbackName;
  std::istringstream lines(cpuinfo);
  std::string line;
  while (std::getline(lines, line)) {
    size_t colon = line.find(':');
    if (colon == std::string::npos) {
      if (!facts.name.empty() && facts.mhz) break;  // end of the first processor
      continue;
    }
    std::string key = TrimBlanks(line.substr(0, colon));
    std::string value = TrimBlanks(line.substr(colon + 1));
    if (key == "model name" && facts.name.empty()) facts.name = value;
    else if ((key == "Hardware" || key == "cpu model" || key == "Processor") && fallbackName.empty())
      fallbackName = value;
    else if (key == "cpu MHz" && facts.mhz == 0)
      facts.mhz = static_cast<DWORD>(std::strtod(value.c_str(), nullptr));
  }
  if (facts.name.empty()) facts.name = fallbackName;
  return facts;
}

bool MachineKeyExists(const std::string& path) {
  std::string p = RegLower(path);
  static const char* kParents[] = {"hardware", "hardware\\description", "hardware\\description\\system",
                                   "hardware\\description\\system\\centralprocessor", "system",
                                   "system\\currentcontrolset", "system\\currentcontrolset\\control"};
  if (p == kCpuKey || p == kProductOptions) return true;
  for (const char* parent : kParents)
    if (p == parent) return true;
  return false;
}

bool MachineValue(const std::string& path, const std::string& name, DWORD* type, std::string* data) {
  std::string p = RegLower(path), n = RegLower(name);
  if (p == kCpuKey) {
    CpuFacts cpu = MachineCpu();
    if (n == "~mhz") {
      *type = 4;
      *data = DwordBytes(cpu.mhz);
      return true;
    }
    if (n == "processornamestring") {
      *type = 1;
      *data = cpu.name;
      return true;
    }
  }
  if (p == kProductOptions && n == "producttype") {
    *type = 1;
    *data = "WINNT";  // a workstation
    return true;
  }
  return false;
}
