#include "app/batch/batch_converter.h"

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "app/batch/batch_message_dlg.h"
#include "app/batch/batch_text.h"
#include "app/batch/output_check.h"
#include "app/batch/profile_commands.h"
#include "app/batch/stop_signal.h"
#include "app/control/headless_host.h"
#include "app/control/profile_choice.h"
#include "core/diag_log.h"
#include "core/frame_state.h"
#include "encode/recording_encoder.h"
#include "engine/engine_state.h"
#include "engine/playback.h"
#include "engine/recording.h"
#include "platform/core/paths.h"
#include "platform/sysinfo/environment_checks.h"
#include "profiles/profile.h"
#include "settings/file_number.h"
#include "settings/settings.h"
#include "settings/settings_store.h"
#include "settings/translate.h"
#include "tests/fixtures/fixtures.h"
#include "transfer/thumbnail.h"

namespace fs = std::filesystem;

namespace {
// A source that delivers no picture for this long is given up.
constexpr int kStallSeconds = 30;

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

std::string Joined(const std::vector<std::string>& texts) {
  std::string all;
  for (const std::string& t : texts) {
    if (t.empty()) continue;
    if (!all.empty()) all += "; ";
    all += t;
  }
  for (char& c : all)
    if (c == '\n') c = ' ';
  return all;
}

// The bar position of a progress line: the percentage it begins with (after
// "[Pass n of 2]" for two passes).
int PercentOf(const std::string& line, int fallback) {
  const auto mark = line.find("% Recorded");
  if (mark == std::string::npos) return fallback;
  auto begin = line.rfind(' ', mark);
  begin = begin == std::string::npos ? 0 : begin + 1;
  return static_cast<int>(std::lround(std::atof(line.substr(begin, mark - begin).c_str())));
}

// The output's name as the conversion start makes it: the extension of
// the output format unless the path already has it (in any case).
std::string WithFormatExtension(const std::string& path, int outputFormat) {
  const std::string want = OutputFormatExtension(outputFormat);
  const auto slash = path.rfind('/');
  const auto dot = path.rfind('.');
  const bool hasDot = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  const std::string ext = hasDot ? path.substr(dot + 1) : "";
  if (want.empty() || LowerCase(ext) == want) return path;
  return (hasDot ? path.substr(0, dot) : path) + "." + want;
}

// Written at or after since (file times are coarser than the clock: a
// second of slack).
bool WrittenSince(const std::string& path, fs::file_time_type since) {
  std::error_code ec;
  const auto t = fs::last_write_time(path, ec);
  return !ec && t >= since - std::chrono::seconds(1);
}

// The files the conversion's last pass wrote, the first part and the
// numbered ones, as far as they are there.
std::vector<std::string> OutputsOfConversion() {
  std::vector<std::string> outputs;
  for (const std::string& part : RecordingParts())
    if (PathExists(part)) outputs.push_back(part);
  return outputs;
}

void RemoveOutputs(const std::vector<std::string>& outputs, fs::file_time_type since) {
  std::error_code ec;
  for (const std::string& out : outputs) {
    fs::remove(out, ec);
    const std::string thm = WithExtension(out, ".THM");
    if (WrittenSince(thm, since)) fs::remove(thm, ec);
  }
}

// What a source must be before the engine is given it.
std::string SourceProblem(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return "no such file";
  if (S_ISDIR(st.st_mode)) return "is a folder, not a video file";
  if (!S_ISREG(st.st_mode)) return "is not a regular file";
  if (std::FILE* f = std::fopen(path.c_str(), "rb")) std::fclose(f);
  else return "cannot be read (permission denied?)";
  return "";
}

// One batch: the engine set up once, then each file of the queue in turn.
class BatchRun {
 public:
  BatchRun(const BatchOptions& options, BatchQueue& queue, BatchReport& report, std::function<bool()> stopRequested,
           std::vector<std::string>* kept)
      : options_(options),
        queue_(queue),
        console_(report),
        dialogs_(report, options.yes),
        stopRequested_(std::move(stopRequested)),
        kept_(kept) {}

  int Run();

 private:
  bool Start();
  FileOutcome ConvertFile(const std::string& source);
  bool OpenSource(const std::string& source);
  void SetRange(const std::string& source, bool* ok);
  FileOutcome Finish(const std::string& source, const std::string& output, const HostRun& run, bool stopped,
                     bool stoppedInFirstPass, int number, fs::file_time_type since, double wall);
  void MakeMissingThumbnails(const std::vector<std::string>& outputs, fs::file_time_type since);
  void Fail(const std::string& source, const std::string& why) { console_.FileFailed(source, why); }

  const BatchOptions& options_;
  BatchQueue& queue_;
  BatchReport& console_;  // the front end: the terminal, or the batch window
  BatchMessageDlg dialogs_;
  std::function<bool()> stopRequested_;
  std::vector<CProfile> profiles_;
  std::vector<std::string>* kept_;
  std::string outputFolder_;
  HeadlessHost* host_ = nullptr;
  BatchItem current_;  // the file under way
};

bool BatchRun::Start() {
  PrepareProgramFolder();
  RunStartupChecks();
  LoadSettings();
  // Nothing to watch while a batch runs: the screen saver is left alone.
  AppSettings().disableScreensaver = 0;
  // A name given with --output takes no number from the device's scheme.
  Engine().NamedOutputTakesNumber = false;
  std::string noProfile;
  const int chosen = LoadBatchProfile(profiles_, options_.profile, &noProfile);
  if (chosen < 0) {
    console_.Error(noProfile);
    return false;
  }
  // A bit rate given on the command line holds for this run only.
  if (options_.videoKbps > 0) profiles_[static_cast<size_t>(chosen)].b = options_.videoKbps;
  SelectProfile(profiles_, chosen);
  if (!options_.output.empty()) outputFolder_ = fs::path(options_.output).parent_path().string();
  else if (!options_.outputFolder.empty()) outputFolder_ = options_.outputFolder;
  else outputFolder_ = fs::path(Frame().GetOutputPath()).parent_path().string();
  if (outputFolder_.empty()) outputFolder_ = "/";
  std::error_code ec;
  fs::create_directories(outputFolder_, ec);
  if (!FolderExists(outputFolder_)) {
    console_.Error("cannot create the output folder " + outputFolder_ + ": " + ec.message());
    return false;
  }
  console_.Info("Profile: " + profiles_[static_cast<size_t>(chosen)].name + "; outputs in " + outputFolder_);
  return true;
}

bool BatchRun::OpenSource(const std::string& source) {
  if (const std::string problem = SourceProblem(source); !problem.empty()) {
    Fail(source, problem);
    return false;
  }
  // The default name is made in the folder of the current output path.
  Frame().SetOutputPath(JoinPath(outputFolder_, "next.MP4"));
  const bool ready = host_->OpenSource(source);
  const std::string said = Joined(dialogs_.TakeMessages());
  if (!ready) {
    Fail(source, said.empty() ? "not a video file the converter can read" : said);
    return false;
  }
  if (!said.empty() && !console_.quiet()) console_.Error(source + ": " + said);
  return true;
}

// The start point and the stop point on the position bar; a stop point at
// the title's length means the whole rest of the file.
void BatchRun::SetRange(const std::string& source, bool* ok) {
  const int length = host_->positionMax;
  const int start = options_.startSec.value_or(0);
  *ok = start == 0 || start < length;
  if (!*ok) {
    Fail(source, "the start point " + TimeText(start) + " lies beyond the end of the file (" + TimeText(length) + ")");
    return;
  }
  host_->MovePositionLow(start);
  const int end = options_.durationSec ? std::min(start + *options_.durationSec, length) : length;
  host_->SetPositionHigh(end);
}

FileOutcome BatchRun::ConvertFile(const std::string& source) {
  FileOutcome outcome;
  if (!OpenSource(source)) return outcome;
  FitProfileToSource();
  FrameState& f = Frame();
  if (!options_.output.empty()) {
    f.SetOutputPath(options_.output);
    Engine().OutputNamedByUser = true;
  } else {
    MakeOutputFilename();
  }
  f.SetOutputPath(WithFormatExtension(f.GetOutputPath(), f.OutputFormat));
  // Writing over the file being read would destroy the source.
  std::error_code ec;
  if (fs::equivalent(source, f.GetOutputPath(), ec)) {
    Fail(source, "the output " + f.GetOutputPath() + " is the source itself; choose another output folder or name");
    return outcome;
  }
  if (options_.title) Engine().TitleName = *options_.title;
  bool rangeOk = false;
  SetRange(source, &rangeOk);
  if (!rangeOk) return outcome;
  f.PassCount = options_.passes ? options_.passes : std::clamp(AppSettings().nPass, 1, 2);
  f.CurrentPass = 1;
  // The number is taken now, so that the name printed is the one written.
  if (!TakeOutputNumber()) {
    Fail(source, Joined(dialogs_.TakeMessages()));
    return outcome;
  }
  const std::string output = f.GetOutputPath();
  const int number = Engine().OutputNumber;

  console_.Info(source + " -> " + output);
  console_.FileOutput(current_, output);
  const fs::file_time_type since = fs::file_time_type::clock::now();
  const Clock::time_point began = Clock::now();
  bool stopped = false, stoppedInFirstPass = false;
  host_->onProgress = [this](const std::string& line) { console_.Progress(line, PercentOf(line, host_->progressBar)); };
  const HostRun run = host_->Convert(
      [&] {
        if (!stopRequested_()) return false;
        if (!stopped) console_.FileStopping(output);
        stopped = true;
        // The first of two passes writes no sound; its file is not kept,
        // and the second pass is not started.
        if (f.PassCount == 2 && f.CurrentPass == 1) {
          stoppedInFirstPass = true;
          f.PassCount = 1;
        }
        return true;
      },
      kStallSeconds);
  host_->onProgress = {};
  console_.EndProgress();
  return Finish(source, output, run, stopped, stoppedInFirstPass, number, since, SecondsSince(began));
}

FileOutcome BatchRun::Finish(const std::string& source, const std::string& output, const HostRun& run, bool stopped,
                             bool stoppedInFirstPass, int number, fs::file_time_type since, double wall) {
  FileOutcome outcome;
  outcome.stopped = stopped;
  outcome.wallSeconds = wall;
  const std::string said = Joined(dialogs_.TakeMessages());
  const bool started = run.finished || run.stalled || run.writeFailed;
  if (!started) {
    if (number >= 0) ReturnFileNumber(number);
    Fail(source, "not converted: " + (said.empty() ? std::string("the conversion did not start") : said));
    return outcome;
  }
  const std::vector<std::string> outputs = OutputsOfConversion();
  std::int64_t frames = 0;
  for (const std::string& out : outputs) {
    const OutputFacts facts = InspectOutput(out);
    frames += facts.videoFrames;
    outcome.videoSeconds += facts.seconds;
  }
  // A file with no picture, or the soundless first of two passes, is no
  // output: it goes, and its number is free again.
  if (frames == 0 || stoppedInFirstPass) {
    RemoveOutputs(outputs, since);
    if (number >= 0) ReturnFileNumber(number);
    outcome.videoSeconds = 0;
    if (stoppedInFirstPass) Fail(source, "stopped in the first of two passes; " + output + " removed");
    else if (stopped) Fail(source, "stopped before anything was written; " + output + " removed");
    else Fail(source, "nothing was written" + (said.empty() ? std::string() : " (" + said + ")") + "; " + output + " removed");
    return outcome;
  }
  MakeMissingThumbnails(outputs, since);
  if (kept_) kept_->push_back(outputs.front());
  // The next run without --output-folder writes beside this output.
  WriteSettingText("OutputConfig", "LastOutput", Frame().GetOutputPath().c_str());
  std::string names = outputs.front();
  for (size_t i = 1; i < outputs.size(); ++i) names += ", " + outputs[i];
  const std::string kept = names + " is playable up to " + TimeText(outcome.videoSeconds);
  if (stopped) {
    Fail(source, "stopped: " + kept);
  } else if (run.stalled) {
    Fail(source, "the source delivered no picture for " + std::to_string(kStallSeconds) + " s: " + kept);
  } else if (run.writeFailed) {
    Fail(source, (said.empty() ? std::string("the output could not be written") : said) + ": " + kept);
  } else if (const std::string early = EndedEarlyText(); !early.empty()) {
    Fail(source, early + ": " + kept);
  } else {
    outcome.converted = true;
    char speed[32];
    std::snprintf(speed, sizeof(speed), "%.1fx", wall > 0 ? outcome.videoSeconds / wall : 0.0);
    console_.Info("Converted " + names + " (" + TimeText(outcome.videoSeconds) + " in " + TimeText(wall) + ", " + speed +
                  " real time)");
    if (!said.empty()) console_.Error(source + ": " + said);
  }
  return outcome;
}

// Every output gets its ".THM". The conversion takes one 2.5 s in when it
// scales the pictures; otherwise (and for parts, and clips shorter than
// that) it is made from the output's own picture.
void BatchRun::MakeMissingThumbnails(const std::vector<std::string>& outputs, fs::file_time_type since) {
  for (const std::string& out : outputs) {
    const std::string thm = WithExtension(out, ".THM");
    if (WrittenSince(thm, since)) continue;
    if (MakeThumbnailFromOutput(out) != 0) console_.Error(out + ": no thumbnail could be made");
  }
}

int BatchRun::Run() {
  if (!Start()) return kExitFailed;
  HeadlessHost host;
  host_ = &host;
  const Clock::time_point began = Clock::now();
  int converted = 0, tried = 0;
  double videoSeconds = 0, wallSeconds = 0;
  while (!stopRequested_()) {
    std::optional<BatchItem> item = queue_.Take();
    if (!item) break;
    ++tried;
    current_ = *item;
    console_.FileBegins(current_);
    const FileOutcome o = ConvertFile(current_.source);
    console_.FileEnds(current_, o);
    converted += o.converted ? 1 : 0;
    videoSeconds += o.videoSeconds;
    wallSeconds += o.wallSeconds;
  }
  host_ = nullptr;
  // What a stop left in the queue was never started.
  const int notStarted = static_cast<int>(queue_.Waiting());
  const int total = tried + notStarted;
  if (stopRequested_() && notStarted > 0)
    console_.Error(std::to_string(notStarted) + " file(s) not started: the batch was stopped");
  std::string summary = "Converted " + std::to_string(converted) + " of " + std::to_string(total) + " file(s) in " +
                        TimeText(SecondsSince(began));
  if (videoSeconds > 0 && wallSeconds > 0) {
    char speed[64];
    std::snprintf(speed, sizeof(speed), "%.1fx", videoSeconds / wallSeconds);
    summary += ": " + TimeText(videoSeconds) + " of video at " + speed + " real time";
  }
  console_.BatchEnds(summary);
  if (stopRequested_()) return kExitStopped;
  return converted == total ? kExitConverted : kExitFailed;
}

// The demo's own settings, so that it never touches the user's: a fresh
// settings folder inside the demo folder, with the output there.
void IsolateDemoSettings(const std::string& folder) {
  const std::string config = JoinPath(folder, "settings");
  std::error_code ec;
  fs::create_directories(config, ec);
  setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  WriteSettingText("OutputConfig", "LastOutput", JoinPath(folder, "M4V20001.MP4").c_str());
}

std::string NewDemoFolder() {
  std::string pattern = JoinPath(TempFolder(), "corvane-demo-XXXXXX");
  if (!mkdtemp(pattern.data())) return "";
  return pattern;
}
}  // namespace

void PrepareProgramFolder() {
  FrameState& f = Frame();
  // A front end that was told where its files are keeps that folder.
  if (f.ProgramFolder.empty()) f.ProgramFolder = ProgramDataFolder();
  SetLogProgramFolder(f.ProgramFolder);
  LoadLanguageTable(JoinPath(f.ProgramFolder, "lang_eng.txt"));
}

int RunBatch(const BatchOptions& options, BatchQueue& queue, BatchReport& report,
             const std::function<bool()>& stopRequested, std::vector<std::string>* kept) {
  BatchRun run(options, queue, report, stopRequested, kept);
  return run.Run();
}

int RunConversions(const BatchOptions& options, BatchConsole& console, std::vector<std::string>* kept) {
  BatchQueue queue(options.files);
  return RunBatch(options, queue, console, StopSignalled, kept);
}

int RunDemo(const BatchOptions& options, BatchConsole& console) {
  const bool ownFolder = options.outputFolder.empty();
  const std::string folder = ownFolder ? NewDemoFolder() : options.outputFolder;
  std::error_code ec;
  if (!ownFolder) fs::create_directories(folder, ec);
  if (folder.empty() || !FolderExists(folder)) {
    console.Error("cannot create a folder for the demo in " + (ownFolder ? TempFolder() : folder));
    return kExitFailed;
  }
  IsolateDemoSettings(folder);
  const std::string clip = JoinPath(folder, "sample.mp4");
  console.Info("Making a 10 s sample clip (1280x720 H.264 test pattern with a 440 Hz tone): " + clip);
  if (const std::string err = MakeFixture(FixtureKind::kHd720, clip, 10.0); !err.empty()) {
    console.Error("cannot make the sample clip: " + err);
    return kExitFailed;
  }
  BatchOptions demo;
  demo.files = {clip};
  demo.profile = "PSP MPEG-4 320x240";
  demo.outputFolder = folder;
  demo.title = options.title.value_or("Corvane sample clip");
  demo.yes = ownFolder || options.yes;
  demo.quiet = options.quiet;
  std::vector<std::string> kept;
  const int status = RunConversions(demo, console, &kept);
  for (const std::string& mp4 : kept) console.Info("Thumbnail: " + WithExtension(mp4, ".THM"));
  console.Info("Folder: " + folder);
  return status;
}
