#pragma once
// The command line of the batch converter.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

enum class BatchMode { Convert, Demo, ListProfiles, SaveProfile, ShowTitle, SetTitle, Help, Version };

struct BatchOptions {
  BatchMode mode = BatchMode::Convert;
  std::vector<std::string> files;  // absolute paths: the engine changes the working folder
  std::string profile;             // empty: the last profile used
  std::string outputFolder;        // empty: the folder of OutputConfig\LastOutput
  std::string output;              // one input only
  std::optional<int> startSec;
  std::optional<int> durationSec;
  int passes = 0;                  // 0: the n_pass setting
  int videoKbps = 0;               // 0: the profile's video bit rate
  std::optional<std::string> title;
  std::string newTitle;            // --set-title
  std::string newProfile;          // --save-profile
  bool yes = false;
  bool quiet = false;
};

// Whole seconds from "90", "1:30" or "1:02:03"; nothing for anything else
// (fractions, signs, minutes or seconds of 60 and more after a colon).
std::optional<int> ParseSeconds(std::string_view text);

// Fills options from the arguments after the program name. Returns an
// empty string, or what is wrong with the command line.
std::string ParseBatchOptions(const std::vector<std::string>& args, BatchOptions* options);

// The text of --help.
std::string BatchUsage();
