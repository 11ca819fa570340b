#include "settings/device_file_name.h"

#include <cstdio>

namespace {
std::string Stem(const char* prefix, int fileNumber) {
  char name[32];
  std::snprintf(name, sizeof(name), "%s%05d", prefix, fileNumber);
  return name;
}
}  // namespace

std::string DeviceFileName(int fileNumber, int formatMp4) {
  return Stem(formatMp4 ? "MAQ" : "M4V", fileNumber) + ".MP4";
}

std::string RenumberDeviceFileName(const std::string& path, int oldNumber, int newNumber) {
  const auto slash = path.rfind('/');
  const size_t nameAt = slash == std::string::npos ? 0 : slash + 1;
  const auto dot = path.rfind('.');
  const size_t stemEnd = dot == std::string::npos || dot < nameAt ? path.size() : dot;
  const std::string stem = path.substr(nameAt, stemEnd - nameAt);
  for (const char* prefix : {"M4V", "MAQ"})
    if (stem == Stem(prefix, oldNumber))
      return path.substr(0, nameAt) + Stem(prefix, newNumber) + path.substr(stemEnd);
  return path;
}
