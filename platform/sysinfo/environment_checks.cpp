#include "platform/sysinfo/environment_checks.h"

#include <climits>
#include <cstring>
#include <filesystem>

#include "core/diag_log.h"
#include "core/frame_state.h"
#include "core/message_dlg.h"
#include "platform/core/paths.h"
#include "platform/registry/registry.h"
#include "settings/translate.h"

const char kMediaTooOldText[] =
    "This program requires FFmpeg 5.0 (libavcodec 59) or above to be installed";

namespace {
const char kProcessorKey[] = "Hardware\\Description\\System\\CentralProcessor\\0";

// MiB for the log, held to what "%d" can print.
int MiB(std::uint64_t kib) {
  std::uint64_t mib = kib / 1024;
  return mib > static_cast<std::uint64_t>(INT_MAX) ? INT_MAX : static_cast<int>(mib);
}

void ReadProcessorKey(EnvironmentFacts* facts) {
  HKEY key = nullptr;
  if (RegOpenKeyA(HKEY_LOCAL_MACHINE, kProcessorKey, &key) != ERROR_SUCCESS) return;
  DWORD type = 0, mhz = 0, size = sizeof(mhz);
  if (RegQueryValueExA(key, "~MHz", nullptr, &type, reinterpret_cast<BYTE*>(&mhz), &size) ==
          ERROR_SUCCESS &&
      type == REG_DWORD && size == sizeof(mhz))
    facts->processorMHz = mhz;
  char name[300] = {};
  size = sizeof(name) - 1;  // room for a terminator the value might lack
  if (RegQueryValueExA(key, "ProcessorNameString", nullptr, &type, reinterpret_cast<BYTE*>(name),
                       &size) == ERROR_SUCCESS &&
      type == REG_SZ)
    facts->processorName = std::string(name, strnlen(name, size));
  RegCloseKey(key);
}

void WarnWhenMediaTooOld(DWORD packed) {
  if (packed < kOldestMediaVersion) ShowMessageDlg(kMediaTooOldText, MsgKind::Warning, mbOK);
}
}  // namespace

EnvironmentFacts GatherEnvironmentFacts() {
  EnvironmentFacts facts;
  facts.osDescription = OsDescriptionLines(ReadOsRelease(), ReadKernel());
  facts.media = ReadMediaVersion();
  facts.mediaVersionKnown = true;
  ReadProcessorKey(&facts);
  facts.processorCount = CountProcessors();
  facts.memory = ReadMemory();
  return facts;
}

void RunStartupChecks(const EnvironmentFacts& facts, const DvdFilterListing& listDvdFilters) {
  // 1. The log folder, and the log's size limit.
  std::error_code ec;
  std::filesystem::create_directories(TempFolder(), ec);
  PruneLogFile();

  // 2. The banner.
  WriteLog("%s", "");
  WriteLog("4.5 Build 02");
  WriteLog("Corvane Video Converter");
  WriteLog("%s", "");

  // 3. The system description.
  for (const std::string& fragment : facts.osDescription) WriteLog("%s", fragment.c_str());

  // 4 and 5. The media layer's version: its text, then the packed value and
  // the warning. An unknown version counts as 0 and warns.
  DWORD packed = facts.mediaVersionKnown ? facts.media.packed : 0;
  if (facts.mediaVersionKnown && !facts.media.text.empty())
    WriteLog("DirectX version: %s", facts.media.text.c_str());
  WriteLog("DirectX version : %x", packed);
  WarnWhenMediaTooOld(packed);

  // 6. The hardware; the processor count is kept for the recording encoder.
  int count = facts.processorCount > 0 ? facts.processorCount : 1;
  Frame().ProcessorCount = count;
  WriteLog("%s", "");
  WriteLog("Processor: %d MHz  %s", static_cast<int>(facts.processorMHz), facts.processorName.c_str());
  WriteLog("Number of Processors : %d", count);
  WriteLog("%s", "");
  if (facts.memory.valid) {
    WriteLog("Total physical memory: %dMB", MiB(facts.memory.totalKiB));
    WriteLog("Available physical memory: %dMB", MiB(facts.memory.availableKiB));
  }

  // 7. The DVD filter lists.
  if (listDvdFilters && listDvdFilters() == 0)
    WriteLog("DVD decoders are not installed. Convert video files only.");
}

void RunStartupChecks(const DvdFilterListing& listDvdFilters) {
  RunStartupChecks(GatherEnvironmentFacts(), listDvdFilters);
}

bool HasSeveralProcessors() { return Frame().ProcessorCount >= 2; }

void SetDisplayAcceleration(bool reduced) {
  WriteLog("Display acceleration %s: left to the display server",
           reduced ? "reduced" : "restored");
}

bool ShutDownComputer() {
  if (RequestPowerOff()) return true;
  WriteLog("No privilege to shutdown");
  ShowSystemMessageBox(translate("No privilege to shutdown"), translate("Error"));
  return false;
}
