#pragma once
// The Windows registry the program expects, kept for the current user in a
// REGEDIT4 text file under $XDG_CONFIG_HOME/Corvane/ (default ~/.config/Corvane/).
// HKEY_LOCAL_MACHINE is read-only and answered from the Linux machine.
// Key and value names compare without regard to case, as on Windows.
#include <cstdint>
#include <functional>
#include <string>

#include "platform/core/win_types.h"

struct RegKeyHandle;
using HKEY = RegKeyHandle*;

#define HKEY_CURRENT_USER (reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000001u)))
#define HKEY_LOCAL_MACHINE (reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000002u)))

constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;
constexpr DWORD REG_MULTI_SZ = 7;

constexpr LONG ERROR_SUCCESS = 0;
constexpr LONG ERROR_FILE_NOT_FOUND = 2;
constexpr LONG ERROR_ACCESS_DENIED = 5;
constexpr LONG ERROR_INVALID_HANDLE = 6;
constexpr LONG ERROR_WRITE_FAULT = 29;
constexpr LONG ERROR_INVALID_PARAMETER = 87;
constexpr LONG ERROR_MORE_DATA = 234;

// Opens subKey below key, creating it and its parents when missing.
LONG RegCreateKeyA(HKEY key, const char* subKey, HKEY* result);
// Opens an existing key; ERROR_FILE_NOT_FOUND when it does not exist.
LONG RegOpenKeyA(HKEY key, const char* subKey, HKEY* result);
LONG RegCloseKey(HKEY key);

// Sets the default value of subKey (created when missing) to the text
// data; type must be REG_SZ.
LONG RegSetValueA(HKEY key, const char* subKey, DWORD type, const char* data, DWORD length);
// Reads the default value of subKey as text into data (*length bytes,
// terminator included). ERROR_MORE_DATA, with *length set to the size
// needed, when it does not fit. data may be null to ask for the size.
LONG RegQueryValueA(HKEY key, const char* subKey, char* data, LONG* length);

// Reads the default value of subKey (created when missing) and sets it to
// what update makes of it, with the store locked against every other
// process and thread meanwhile, so that nothing changes it in between.
// update gets the current text (empty when there is none) and must not call
// the registry itself. Returns the status of the write (ERROR_SUCCESS also
// when the value stays the same).
LONG RegUpdateValueA(HKEY key, const char* subKey, const std::function<std::string(const std::string&)>& update);

// Named values; a null or empty name is the default value.
LONG RegSetValueExA(HKEY key, const char* name, DWORD reserved, DWORD type, const BYTE* data,
                    DWORD size);
LONG RegQueryValueExA(HKEY key, const char* name, DWORD* reserved, DWORD* type, BYTE* data,
                      DWORD* size);
LONG RegDeleteValueA(HKEY key, const char* name);
// Deletes subKey; as on Windows NT, a key that has subkeys is not deleted
// (ERROR_ACCESS_DENIED).
LONG RegDeleteKeyA(HKEY key, const char* subKey);

// "regedit.exe /i /s FILE": merges a REGEDIT4 or "Windows Registry Editor
// Version 5.00" file into the current user's registry. Keys of other roots
// are skipped. Returns false (after a log line) when the file cannot be read
// or is not a registry file; damaged lines are skipped with a log line.
bool ImportRegFile(const std::string& path);

// The file that holds the current user's registry.
std::string RegistryFilePath();
