#pragma once
// The .reg text form: parsing REGEDIT4 / version 5.00 files into edits and
// writing a whole tree back as REGEDIT4.
#include <map>
#include <string>
#include <vector>

#include "platform/core/win_types.h"

struct RegValue {
  std::string name;  // as first written; empty for the default value
  DWORD type = 1;    // REG_SZ
  std::string data;  // text without terminator, or the raw bytes
};

struct RegKeyData {
  std::string path;                       // full path below the root, '\' separated
  std::map<std::string, RegValue> values;  // by lower-cased name
};

// Keys by lower-cased path (HKEY_CURRENT_USER only).
using RegTree = std::map<std::string, RegKeyData>;

struct RegEdit {
  enum Kind { SetValue, DeleteValue, CreateKey, DeleteKey } kind = CreateKey;
  std::string keyPath;  // below HKEY_CURRENT_USER
  RegValue value;
};

struct RegParseResult {
  bool recognised = false;             // header line present
  std::vector<RegEdit> edits;
  std::vector<std::string> problems;   // one text per skipped line
};

std::string RegLower(const std::string& s);

// Normalises a key path: '\' separators, no empty parts; false when a part
// is longer than 255 characters or the path exceeds 4096.
bool RegNormalisePath(const std::string& in, std::string* out);

RegParseResult ParseRegText(const std::string& bytes);

void ApplyRegEdit(RegTree& tree, const RegEdit& edit);

std::string WriteRegText(const RegTree& tree);
