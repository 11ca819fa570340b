#pragma once
// The settings store: every setting is a key below the product root whose
// default value holds the setting as text. Reads take the whole path
// ("OutputConfig\\Width") and a default; writes take group and name apart.
#include <functional>
#include <string>

#include "platform/core/win_types.h"

// "Software\Corvane\Corvane Video Converter\" (with the trailing backslash).
const char* SettingsRootPath();

int ReadSettingInt(const char* path, int defaultValue);
double ReadSettingReal(const char* path, double defaultValue);
// Returns a pointer into one shared buffer (valid until the next text read),
// or defaultValue itself when the setting cannot be read.
const char* ReadSettingText(const char* path, const char* defaultValue);

// group may be empty for the root. The results are the registry status.
LONG WriteSettingInt(const char* group, const char* name, int value);
LONG WriteSettingReal(const char* group, const char* name, double value);
LONG WriteSettingText(const char* group, const char* name, const char* text);
LONG DeleteSettingKey(const char* path);

// Reads the setting group\\name and writes what update makes of its text,
// with no other program or thread changing it in between (see
// RegUpdateValueA). The result is the registry status of the write.
LONG UpdateSettingText(const char* group, const char* name,
                       const std::function<std::string(const std::string&)>& update);
