#pragma once
// Helpers shared by the tests.
#include <cstddef>
#include <deque>
#include <string>
#include <vector>

#include "core/message_dlg.h"

// A fresh folder for one test, removed with everything in it at the end.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Answers ShowMessageDlg from a script and records what was asked.
// Installed for its lifetime.
class ScriptedMessageBox : public MessageDlgHandler {
 public:
  ScriptedMessageBox();
  ~ScriptedMessageBox() override;
  void Answer(int result) { answers_.push_back(result); }
  int Show(const std::string& text, MsgKind kind, unsigned buttons) override;
  void SystemBox(const std::string& text, const std::string& caption) override;
  std::vector<std::string> texts;  // every text shown, in order
  std::vector<MsgKind> kinds;

 private:
  std::deque<int> answers_;
};

// Runs a shell command; returns its standard output. exitCode receives the status.
std::string RunCommand(const std::string& cmd, int* exitCode = nullptr);

// Reads a whole file as bytes; empty when it cannot be read.
std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);

// One line per stored packet of every stream of a media file, with its
// checksum, as the ffmpeg command line reads them (nothing decoded); empty
// lines and ffmpeg's error text when it cannot read the file. Equal for two
// files that hold the same packets whatever their layout.
std::string PacketChecksums(const std::string& path);

// Pages of [p, p + bytes) the system holds in memory; -1 when it cannot tell.
int ResidentPages(const void* p, std::size_t bytes);
