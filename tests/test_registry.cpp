#include "platform/registry/registry.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "core/diag_log.h"
#include "platform/registry/machine_keys.h"
#include "platform/registry/reg_text.h"
#include "tests/support/test_support.h"

namespace {
class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1);
    SetLogFilePath(dir.file("test.elog"));
  }
  void TearDown() override { SetLogFilePath(""); }

  static LONG SetText(const char* key, const char* text) {
    return RegSetValueA(HKEY_CURRENT_USER, key, REG_SZ, text, static_cast<DWORD>(std::strlen(text)));
  }
  static std::string GetText(const char* key, LONG* rc = nullptr) {
    char buf[512];
    LONG len = sizeof(buf);
    LONG r = RegQueryValueA(HKEY_CURRENT_USER, key, buf, &len);
    if (rc) *rc = r;
    return r == ERROR_SUCCESS ? std::string(buf) : std::string("<missing>");
  }
  static DWORD GetDword(const char* key, const char* name) {
    HKEY k = nullptr;
    if (RegOpenKeyA(HKEY_CURRENT_USER, key, &k) != ERROR_SUCCESS) return 0xFFFFFFFF;
    DWORD v = 0, type = 0, size = sizeof(v);
    LONG rc = RegQueryValueExA(k, name, nullptr, &type, reinterpret_cast<BYTE*>(&v), &size);
    RegCloseKey(k);
    return rc == ERROR_SUCCESS && type == REG_DWORD ? v : 0xFFFFFFFE;
  }
  std::string Log() {
    std::string all = ReadFileBytes(dir.file("test.elog")), text;
    size_t start = 0;
    for (size_t nl; (nl = all.find('\n', start)) != std::string::npos; start = nl + 1) {
      DWORD tick;
      std::string line;
      if (DecodeLogLine(all.substr(start, nl - start), &tick, &line)) text += line + "\n";
    }
    return text;
  }
  std::vector<std::string> AsideFiles() {
    std::vector<std::string> out;
    for (auto& e : std::filesystem::directory_iterator(dir.file("Corvane")))
      if (e.path().filename().string().find(".damaged-") != std::string::npos) out.push_back(e.path());
    return out;
  }

  TempDir dir;
};
}  // namespace

TEST_F(RegistryTest, ValuesSurviveOnDiskInRegedit4FormWithoutTemporaryFiles) {
  EXPECT_EQ(SetText("Software\\Corvane\\App\\Width", "320"), ERROR_SUCCESS);
  EXPECT_EQ(SetText("Software\\Corvane\\App\\Path", "C:\\a \"b\"\nnext"), ERROR_SUCCESS);
  EXPECT_EQ(SetText("Software\\Corvane\\App\\Folder", "C:\\temp\\"), ERROR_SUCCESS);
  HKEY k = nullptr;
  ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, "Software\\GNU\\XviD", &k), ERROR_SUCCESS);
  DWORD mode = 2;
  EXPECT_EQ(RegSetValueExA(k, "mode", 0, REG_DWORD, reinterpret_cast<BYTE*>(&mode), 4), ERROR_SUCCESS);
  RegCloseKey(k);

  std::string file = ReadFileBytes(RegistryFilePath());
  EXPECT_EQ(file.rfind("REGEDIT4\n", 0), 0u);
  EXPECT_NE(file.find("[HKEY_CURRENT_USER\\Software\\Corvane\\App\\Width]\n@=\"320\"\n"), std::string::npos);
  EXPECT_NE(file.find("\"mode\"=dword:00000002"), std::string::npos);
  for (auto& e : std::filesystem::directory_iterator(dir.file("Corvane")))
    EXPECT_EQ(e.path().filename().string().find(".tmp"), std::string::npos) << e.path();

  // Names compare without regard to case; the text with quotes, a backslash
  // and a line break reads back byte for byte after a fresh parse.
  EXPECT_EQ(GetText("software\\CORVANE\\app\\width"), "320");
  RegParseResult again = ParseRegText(file);
  EXPECT_TRUE(again.recognised);
  EXPECT_TRUE(again.problems.empty());
  RegTree tree;
  for (auto& e : again.edits) ApplyRegEdit(tree, e);
  EXPECT_EQ(tree["software\\corvane\\app\\path"].values[""].data, "C:\\a \"b\"\nnext");
  EXPECT_EQ(GetDword("SOFTWARE\\gnu\\xvid", "MODE"), 2u);
  // A text ending in a backslash does not swallow the line after it.
  EXPECT_EQ(tree["software\\corvane\\app\\folder"].values[""].data, "C:\\temp\\");
  EXPECT_EQ(GetText("Software\\Corvane\\App\\Width"), "320");
}

TEST_F(RegistryTest, MissingKeysValuesAndSmallBuffersAreReportedNotFilled) {
  LONG rc;
  GetText("Software\\Nothing", &rc);
  EXPECT_EQ(rc, ERROR_FILE_NOT_FOUND);
  HKEY k = nullptr;
  ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Empty", &k), ERROR_SUCCESS);
  RegCloseKey(k);
  GetText("Software\\Empty", &rc);
  EXPECT_EQ(rc, ERROR_FILE_NOT_FOUND);  // a key without a default value

  std::string longText(600, 'y');
  SetText("Software\\Long", longText.c_str());
  char small[8];
  std::memset(small, 'Q', sizeof(small));
  LONG len = sizeof(small);
  EXPECT_EQ(RegQueryValueA(HKEY_CURRENT_USER, "Software\\Long", small, &len), ERROR_MORE_DATA);
  EXPECT_EQ(len, 601);
  EXPECT_EQ(small[7], 'Q');

  EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Software"), ERROR_ACCESS_DENIED);  // has subkeys
  EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Long"), ERROR_SUCCESS);
  GetText("Software\\Long", &rc);
  EXPECT_EQ(rc, ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, GarbageFileIsKeptAsideWithALogLineAndTheStoreStartsEmpty) {
  std::filesystem::create_directories(dir.file("Corvane"));
  std::string garbage("\x7F" "ELF\x01\x00\xFF\xFE garbage\n\x00\x00", 16);
  WriteFileBytes(RegistryFilePath(), garbage);
  LONG rc;
  GetText("Software\\Corvane\\X", &rc);
  EXPECT_EQ(rc, ERROR_FILE_NOT_FOUND);
  auto aside = AsideFiles();
  ASSERT_EQ(aside.size(), 1u);
  EXPECT_EQ(ReadFileBytes(aside[0]), garbage);
  EXPECT_NE(Log().find("is damaged"), std::string::npos) << Log();
  EXPECT_EQ(SetText("Software\\Corvane\\X", "1"), ERROR_SUCCESS);
  EXPECT_EQ(GetText("Software\\Corvane\\X"), "1");
}

TEST_F(RegistryTest, TruncatedFileKeepsEveryWholeSettingAndTheDamagedCopy) {
  SetText("Software\\A\\One", "1");
  SetText("Software\\A\\Two", "22");
  SetText("Software\\A\\Three", "333");
  std::string file = ReadFileBytes(RegistryFilePath());
  size_t cut = file.rfind("@=\"22");  // the file's last value (keys are in order)
  ASSERT_NE(cut, std::string::npos);
  // Another program leaves a half file behind (ours are renamed into place).
  WriteFileBytes(RegistryFilePath(), file.substr(0, cut + 4));
  EXPECT_EQ(GetText("Software\\A\\One"), "1");
  EXPECT_EQ(GetText("Software\\A\\Three"), "333");
  EXPECT_EQ(GetText("Software\\A\\Two"), "<missing>");
  ASSERT_EQ(AsideFiles().size(), 1u);
  // The salvaged settings were written back as a sound file.
  RegParseResult now = ParseRegText(ReadFileBytes(RegistryFilePath()));
  EXPECT_TRUE(now.recognised);
  EXPECT_TRUE(now.problems.empty());
}

TEST_F(RegistryTest, TwoProcessesWritingAtOnceLoseNothing) {
  constexpr int kEach = 40;
  pid_t child = fork();
  ASSERT_GE(child, 0);
  const char* who = child == 0 ? "child" : "parent";
  for (int i = 0; i < kEach; ++i) {
    std::string key = std::string("Software\\Race\\") + who + std::to_string(i);
    SetText(key.c_str(), std::to_string(i).c_str());
  }
  if (child == 0) _exit(0);
  int status = 0;
  waitpid(child, &status, 0);
  for (int i = 0; i < kEach; ++i) {
    EXPECT_EQ(GetText(("Software\\Race\\parent" + std::to_string(i)).c_str()), std::to_string(i));
    EXPECT_EQ(GetText(("Software\\Race\\child" + std::to_string(i)).c_str()), std::to_string(i));
  }
}

TEST_F(RegistryTest, ImportReadsBothFileVersionsAndSkipsHostileLines) {
  std::string v4 =
      "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Imp]\r\n@=\"default\"\r\n\"Name\"=\"va\\\\lue\"\r\n"
      "\"Bits\"=hex:01,02,\\\r\n  03\r\n\"Count\"=dword:0000001f\r\n\"Bad\"=dword:xyz\r\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Evil]\r\n@=\"no\"\r\n"
      "[HKEY_CURRENT_USER\\Software\\Gone]\r\n@=\"x\"\r\n[-HKEY_CURRENT_USER\\Software\\Gone]\r\n";
  WriteFileBytes(dir.file("a.reg"), v4);
  EXPECT_TRUE(ImportRegFile(dir.file("a.reg")));
  EXPECT_EQ(GetText("Software\\Imp"), "default");
  EXPECT_EQ(GetDword("Software\\Imp", "Count"), 0x1Fu);
  EXPECT_EQ(GetText("Software\\Gone"), "<missing>");
  HKEY k = nullptr;
  ASSERT_EQ(RegOpenKeyA(HKEY_CURRENT_USER, "Software\\Imp", &k), ERROR_SUCCESS);
  char buf[16];
  DWORD size = sizeof(buf), type = 0;
  EXPECT_EQ(RegQueryValueExA(k, "name", nullptr, &type, reinterpret_cast<BYTE*>(buf), &size), ERROR_SUCCESS);
  EXPECT_STREQ(buf, "va\\lue");
  size = sizeof(buf);
  EXPECT_EQ(RegQueryValueExA(k, "Bits", nullptr, &type, reinterpret_cast<BYTE*>(buf), &size), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_BINARY);
  EXPECT_EQ(std::string(buf, size), std::string("\x01\x02\x03", 3));
  RegCloseKey(k);
  std::string log = Log();
  EXPECT_NE(log.find("bad dword"), std::string::npos) << log;
  EXPECT_NE(log.find("outside HKEY_CURRENT_USER"), std::string::npos) << log;

  // Version 5.00 as regedit saves it: UTF-16LE with a byte-order mark, and
  // hex(1) text in UTF-16LE.
  std::string text5 =
      "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Five]\r\n"
      "@=\"caf\xC3\xA9\"\r\n\"Hx\"=hex(1):41,00,42,00,00,00\r\n";
  std::string utf16 = "\xFF\xFE";
  for (size_t i = 0; i < text5.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(text5[i]);
    if (c == 0xC3) {  // é
      utf16 += std::string("\xE9\x00", 2);
      ++i;
      continue;
    }
    utf16.push_back(static_cast<char>(c));
    utf16.push_back('\0');
  }
  WriteFileBytes(dir.file("b.reg"), utf16);
  EXPECT_TRUE(ImportRegFile(dir.file("b.reg")));
  EXPECT_EQ(GetText("Software\\Five"), "caf\xC3\xA9");
  ASSERT_EQ(RegOpenKeyA(HKEY_CURRENT_USER, "Software\\Five", &k), ERROR_SUCCESS);
  size = sizeof(buf);
  EXPECT_EQ(RegQueryValueExA(k, "Hx", nullptr, &type, reinterpret_cast<BYTE*>(buf), &size), ERROR_SUCCESS);
  EXPECT_STREQ(buf, "AB");
  RegCloseKey(k);

  WriteFileBytes(dir.file("c.reg"), "[HKEY_CURRENT_USER\\Software\\NoHeader]\n@=\"x\"\n");
  EXPECT_FALSE(ImportRegFile(dir.file("c.reg")));
  EXPECT_EQ(GetText("Software\\NoHeader"), "<missing>");
  EXPECT_FALSE(ImportRegFile(dir.file("missing.reg")));
}

TEST_F(RegistryTest, MachineKeysAnswerFromCpuinfoAndRefuseWrites) {
  CpuFacts x86 = ParseCpuInfo(
      "processor\t: 0\nvendor_id\t: GenuineIntel\nmodel name\t: Intel(R) Core(TM) i5 CPU @ 2.40GHz\n"
      "cpu MHz\t\t: 2394.458\n\nprocessor\t: 1\nmodel name\t: other\ncpu MHz\t\t: 800.0\n");
  EXPECT_EQ(x86.name, "Intel(R) Core(TM) i5 CPU @ 2.40GHz");
  EXPECT_EQ(x86.mhz, 2394u);
  EXPECT_EQ(ParseCpuInfo("processor : 0\nBogoMIPS : 50\nHardware : BCM2835\n").name, "BCM2835");

  HKEY k = nullptr;
  ASSERT_EQ(RegOpenKeyA(HKEY_LOCAL_MACHINE, "Hardware\\Description\\System\\CentralProcessor\\0", &k),
            ERROR_SUCCESS);
  char name[300];
  DWORD size = sizeof(name), type = 0;
  EXPECT_EQ(RegQueryValueExA(k, "ProcessorNameString", nullptr, &type, reinterpret_cast<BYTE*>(name), &size),
            ERROR_SUCCESS);
  EXPECT_GT(std::strlen(name), 0u);
  DWORD mhz = 0;
  size = 4;
  EXPECT_EQ(RegQueryValueExA(k, "~MHz", nullptr, &type, reinterpret_cast<BYTE*>(&mhz), &size), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_DWORD);
  EXPECT_EQ(RegSetValueExA(k, "~MHz", 0, REG_DWORD, reinterpret_cast<BYTE*>(&mhz), 4), ERROR_ACCESS_DENIED);
  RegCloseKey(k);
  EXPECT_EQ(RegOpenKeyA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\VIDEO", &k), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, ReadOnlySettingsFileIsNeverReplaced) {
  SetText("Software\\Ro\\Kept", "1");
  std::string before = ReadFileBytes(RegistryFilePath());
  chmod(RegistryFilePath().c_str(), 0444);
  EXPECT_EQ(SetText("Software\\Ro\\New", "2"), ERROR_ACCESS_DENIED);
  chmod(RegistryFilePath().c_str(), 0644);
  EXPECT_EQ(ReadFileBytes(RegistryFilePath()), before);
  EXPECT_EQ(GetText("Software\\Ro\\Kept"), "1");
  EXPECT_NE(Log().find("is not replaced"), std::string::npos) << Log();
}
