#pragma once
// The device's naming scheme for outputs: "M4V%05d.MP4" (MPEG-4) or
// "MAQ%05d.MP4" (H.264) with the next video number.
#include <string>

// The default file name for a video number and MP4 flavour (0 MPEG-4).
std::string DeviceFileName(int fileNumber, int formatMp4);

// When path's file is the default name of oldNumber (either flavour, any
// extension), the same folder and extension with newNumber; otherwise path
// as it is: a name the user chose stays.
std::string RenumberDeviceFileName(const std::string& path, int oldNumber, int newNumber);
