#pragma once
// A user who has never run the program: a home folder, a settings folder, a
// data folder (the user's profiles go there), a temporary folder and a log
// of its own, and a program folder holding a copy of the shipped profiles
// and of the default thumbnail picture. Everything goes with the object. The shipped files are
// looked for in the working folder (the tests run beside the programs).
#include <QDir>
#include <QTemporaryDir>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "core/diag_log.h"

class FreshUser {
 public:
  FreshUser() {
    const char* base = std::getenv("CORVANE_TEST_TMP");
    if (base && *base) dir_.emplace(QString::fromLocal8Bit(base) + "/corvane-user-XXXXXX");
    else dir_.emplace();
    root_ = dir_->path().toStdString();
    std::filesystem::create_directories(Home() + "/.config");
    std::filesystem::create_directories(Temp());
    std::filesystem::create_directories(ProgramFolder() + "/profile");
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator("profile", ec))
      std::filesystem::copy_file(e.path(), ProgramFolder() + "/profile/" + e.path().filename().string(), ec);
    std::filesystem::copy_file("Thumbnail.bmp", ProgramFolder() + "/Thumbnail.bmp", ec);
    setenv("HOME", Home().c_str(), 1);
    setenv("XDG_CONFIG_HOME", (Home() + "/.config").c_str(), 1);
    setenv("XDG_DATA_HOME", DataHome().c_str(), 1);
    setenv("TMPDIR", Temp().c_str(), 1);
    SetLogFilePath(Temp() + "/Corvane.elog");
  }
  ~FreshUser() { SetLogFilePath(""); }
  FreshUser(const FreshUser&) = delete;
  FreshUser& operator=(const FreshUser&) = delete;

  std::string Home() const { return root_ + "/home"; }
  std::string Temp() const { return root_ + "/tmp"; }
  std::string ProgramFolder() const { return root_ + "/program"; }
  std::string DataHome() const { return Home() + "/.local/share"; }
  // Where the user's profiles are saved.
  std::string UserProfileFolder() const { return DataHome() + "/Corvane/profile"; }

 private:
  std::optional<QTemporaryDir> dir_;
  std::string root_;
};
