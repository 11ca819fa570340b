#include "app/batch/batch_options.h"

#include <charconv>
#include <filesystem>

namespace {
std::string Absolute(const std::string& path) {
  std::error_code ec;
  const std::filesystem::path abs = std::filesystem::absolute(path, ec);
  return ec ? path : abs.lexically_normal().string();
}

// Digits only: no sign, no space, at most nine of them.
std::optional<int> ParseField(std::string_view text) {
  if (text.empty() || text.size() > 9) return std::nullopt;
  for (char c : text)
    if (c < '0' || c > '9') return std::nullopt;
  int value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// Splits "--name=value" into its two halves; value is empty without '='.
bool SplitLong(const std::string& arg, std::string* name, std::string* value) {
  const auto eq = arg.find('=');
  if (arg.rfind("--", 0) != 0 || eq == std::string::npos) return false;
  *name = arg.substr(0, eq);
  *value = arg.substr(eq + 1);
  return true;
}

bool TakesValue(const std::string& name) {
  for (const char* n : {"--profile", "--output-folder", "--output", "--start", "--duration", "--passes", "--title",
                        "--set-title", "--save-profile", "--bitrate", "-p", "-o"})
    if (name == n) return true;
  return false;
}

std::string ApplyValue(const std::string& name, const std::string& value, BatchOptions* o) {
  if (name == "--profile" || name == "-p") {
    o->profile = value;
  } else if (name == "--output-folder") {
    o->outputFolder = Absolute(value);
  } else if (name == "--output" || name == "-o") {
    o->output = Absolute(value);
  } else if (name == "--start" || name == "--duration") {
    const std::optional<int> s = ParseSeconds(value);
    if (!s) return name + " takes whole seconds or h:mm:ss, not \"" + value + "\"";
    if (name == "--start") {
      o->startSec = s;
    } else {
      if (*s < 1) return "--duration must be at least one second";
      o->durationSec = s;
    }
  } else if (name == "--passes") {
    if (value != "1" && value != "2") return "--passes takes 1 or 2, not \"" + value + "\"";
    o->passes = value[0] - '0';
  } else if (name == "--bitrate") {
    const std::optional<int> kbps = ParseField(value);
    if (!kbps || *kbps < 16 || *kbps > 20000) return "--bitrate takes kbit/s from 16 to 20000, not \"" + value + "\"";
    o->videoKbps = *kbps;
  } else if (name == "--title") {
    o->title = value;
  } else if (name == "--set-title") {
    o->mode = BatchMode::SetTitle;
    o->newTitle = value;
  } else if (name == "--save-profile") {
    o->mode = BatchMode::SaveProfile;
    o->newProfile = value;
  }
  return "";
}

std::string ApplyFlag(const std::string& arg, BatchOptions* o) {
  if (arg == "--yes" || arg == "-y") o->yes = true;
  else if (arg == "--quiet" || arg == "-q") o->quiet = true;
  else if (arg == "--demo") o->mode = BatchMode::Demo;
  else if (arg == "--list-profiles") o->mode = BatchMode::ListProfiles;
  else if (arg == "--show-title") o->mode = BatchMode::ShowTitle;
  else if (arg == "--help" || arg == "-h") o->mode = BatchMode::Help;
  else if (arg == "--version") o->mode = BatchMode::Version;
  else return "unknown option " + arg;
  return "";
}

// What the chosen mode needs from the file list and the other options.
std::string CheckCombination(BatchOptions* o) {
  switch (o->mode) {
    case BatchMode::Help:
    case BatchMode::Version:
      return "";
    case BatchMode::ListProfiles:
      return o->files.empty() ? "" : "--list-profiles takes no file";
    case BatchMode::SaveProfile:
      return o->files.empty() ? "" : "--save-profile takes no file";
    case BatchMode::Demo:
      return o->files.empty() ? "" : "--demo makes its own clip and takes no file";
    case BatchMode::ShowTitle:
      return o->files.empty() ? "--show-title needs at least one file" : "";
    case BatchMode::SetTitle:
      return o->files.size() == 1 ? "" : "--set-title needs one title and exactly one file";
    case BatchMode::Convert:
      if (o->files.empty()) return "no input file (batchvc --help tells how to use it)";
      // An existing folder given as the output is where the outputs go.
      if (!o->output.empty() && std::filesystem::is_directory(o->output) && o->outputFolder.empty()) {
        o->outputFolder = o->output;
        o->output.clear();
      }
      if (!o->output.empty() && o->files.size() > 1) return "--output names the output of one input only";
      if (!o->output.empty() && !o->outputFolder.empty()) return "--output and --output-folder exclude each other";
      return "";
  }
  return "";
}
}  // namespace

std::optional<int> ParseSeconds(std::string_view text) {
  int total = 0;
  int fields = 0;
  while (true) {
    const auto colon = text.find(':');
    const std::optional<int> v = ParseField(text.substr(0, colon));
    if (!v) return std::nullopt;
    // After a colon a field is minutes or seconds of the field before.
    if (fields > 0 && *v >= 60) return std::nullopt;
    if (total > (2'000'000'000 - *v) / 60) return std::nullopt;
    total = total * 60 + *v;
    ++fields;
    if (colon == std::string_view::npos) break;
    if (fields == 3) return std::nullopt;
    text.remove_prefix(colon + 1);
  }
  return total;
}

std::string ParseBatchOptions(const std::vector<std::string>& args, BatchOptions* options) {
  BatchOptions& o = *options;
  bool onlyFiles = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    std::string name, value, err;
    if (onlyFiles || arg.empty() || arg[0] != '-' || arg == "-") {
      o.files.push_back(Absolute(arg));
    } else if (arg == "--") {
      onlyFiles = true;
    } else if (SplitLong(arg, &name, &value)) {
      if (!TakesValue(name)) return "option " + name + " takes no value";
      err = ApplyValue(name, value, &o);
    } else if (TakesValue(arg)) {
      if (i + 1 >= args.size()) return "option " + arg + " needs a value";
      err = ApplyValue(arg, args[++i], &o);
    } else {
      err = ApplyFlag(arg, &o);
    }
    if (!err.empty()) return err;
  }
  return CheckCombination(&o);
}

std::string BatchUsage() {
  return R"(Usage: batchvc [options] FILE...
       batchvc --demo [--output-folder DIR]
       batchvc --list-profiles
       batchvc [--profile NAME] [--bitrate KBIT/S] --save-profile NEW_NAME
       batchvc --show-title FILE...
       batchvc --set-title TITLE FILE

Converts video files to MP4 files a PSP plays, one after the other, with the
engine, settings and profiles of Corvane Video Converter.

Options:
  -p, --profile NAME       output profile (default: the one used last)
      --output-folder DIR  where the outputs go (default: the folder of the
                           last output); created when missing
  -o, --output FILE        the output of a single input (takes no file number);
                           an existing folder is taken as --output-folder
      --start TIME         start point in the source (default: its beginning)
      --duration TIME      length to convert (default: up to the end)
                           TIME is whole seconds or h:mm:ss
      --passes 1|2         encoding passes (default: the setting)
      --bitrate KBIT/S     video bit rate (default: the profile's)
      --title TEXT         title the PSP shows (default: the source's name)
  -y, --yes                overwrite existing outputs without asking
  -q, --quiet              print nothing but errors
      --list-profiles      one profile a line: name, video, audio
      --save-profile NEW_NAME
                           save the profile (with --bitrate) under a new
                           name in ~/.local/share/Corvane/profile
      --show-title FILE... print the titles stored in MP4 files
      --set-title TITLE FILE
                           store TITLE in FILE in place
      --demo               make a sample clip and convert it, in a new
                           folder that is printed
  -h, --help               this text
      --version            the program's version

Outputs are named M4Vnnnnn.MP4 (MPEG-4) or MAQnnnnn.MP4 (H.264) with the next
file number of the settings, each with its .THM thumbnail. Without --yes an
existing output is asked about on the terminal, and kept when there is none.
Ctrl-C stops the current file: what was converted so far stays playable.
Exit status: 0 when every file converted, 1 when one failed, 2 for a wrong
command line, 130 when stopped with Ctrl-C.
)";
}
