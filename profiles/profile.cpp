#include "profiles/profile.h"

#include <algorithm>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/diag_log.h"
#include "core/frame_state.h"
#include "platform/core/paths.h"
#include "profiles/wm_codec_info.h"

namespace {
constexpr size_t kMaxProfileBytes = 1u << 20;

bool IsSeparator(char c) { return c == '=' || c == ',' || c == '{' || c == '}'; }
bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsWhite(char c) { return IsBlank(c) || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

std::string InstalledProfileFolder() { return Frame().ProgramFolder + "/profile"; }
std::string ProfileFile(const std::string& folder, const std::string& name) { return folder + "/" + name + ".pr"; }

// A user's profile of a name takes the place of the shipped one.
std::string ProfilePath(const std::string& name) {
  const std::string user = ProfileFile(UserProfileFolder(), name);
  struct stat st{};
  if (::stat(user.c_str(), &st) == 0 && S_ISREG(st.st_mode)) return user;
  return ProfileFile(InstalledProfileFolder(), name);
}

// The profile names of a folder's "*.pr" files, in the order of its listing.
std::vector<std::string> ProfileNamesIn(const std::string& folder) {
  std::vector<std::string> names;
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return names;
  while (dirent* e = ::readdir(dir)) {
    std::string file = e->d_name;
    if (file.size() < 3 || strcasecmp(file.c_str() + file.size() - 3, ".pr") != 0) continue;
    struct stat st{};
    if (::stat((folder + "/" + file).c_str(), &st) == 0 && S_ISDIR(st.st_mode)) continue;
    names.push_back(file.substr(0, file.rfind('.')));
  }
  ::closedir(dir);
  return names;
}

// Makes folder and the folders above it that are missing; 0 or an errno.
int MakeFolders(const std::string& folder) {
  for (size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
    const std::string part = folder.substr(0, slash);
    if (::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return errno;
    if (slash == std::string::npos) break;
  }
  return FolderExists(folder) ? 0 : ENOTDIR;
}

int LeadingInt(const std::string& s) {
  long v = std::strtol(s.c_str(), nullptr, 10);
  if (v > 2147483647L) return 2147483647;
  if (v < -2147483647L) return -2147483647;
  return static_cast<int>(v);
}

double LeadingReal(const std::string& s) {
  // Locale-independent: profiles are shared files.
  const char* p = s.c_str();
  while (IsWhite(*p)) ++p;
  if (*p == '+') ++p;
  double v = 0.0;
  std::from_chars(p, s.c_str() + s.size(), v);
  return v;
}

bool EqualsNoCase(const std::string& a, const char* b) { return strcasecmp(a.c_str(), b) == 0; }

void ReadList(const std::string& line, size_t& pos, ChoiceList& list) {
  list.clear();
  while (pos < line.size()) {
    std::string item = NextProfileToken(line, pos);
    if (!item.empty()) list.push_back(item);
  }
}

// The on-disk form has no escapes: a double quote in a text would end it
// early and a line break would end the line, losing the rest on reading.
std::string Clean(const std::string& s) {
  std::string out = s;
  for (char& c : out) {
    if (c == '"') c = '\'';
    else if (c == '\r' || c == '\n' || c == '\0') c = ' ';
  }
  return out;
}

void AppendList(std::string& out, const ChoiceList& list) {
  out += "{ ";
  if (list.empty()) {
    out += "}\n";  // keeps the next key on its own line
    return;
  }
  for (size_t i = 0; i < list.size(); ++i)
    out += "\"" + Clean(list[i]) + (i + 1 < list.size() ? "\", " : "\" }\n");
}

std::string FormatG(double v) {
  char buf[64];
  std::snprintf(buf, sizeof(buf), "%g", v);
  for (char* p = buf; *p; ++p)
    if (*p == ',') *p = '.';  // a decimal comma of the process locale
  return buf;
}

bool PlainFileName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
         name.find('\0') == std::string::npos && name.size() <= 240;
}

bool WriteAll(int fd, const std::string& bytes) {
  for (size_t done = 0; done < bytes.size();) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}
}  // namespace

std::string NextProfileToken(const std::string& line, size_t& pos) {
  while (pos < line.size() && (IsBlank(line[pos]) || IsSeparator(line[pos]))) ++pos;
  if (pos >= line.size()) return "";
  if (line[pos] == '"') {
    size_t close = line.find('"', pos + 1);
    if (close == std::string::npos) close = line.size();
    std::string token = line.substr(pos + 1, close - pos - 1);
    pos = close + 1;
    return token;
  }
  size_t end = pos;
  while (end < line.size() && !IsSeparator(line[end])) ++end;
  std::string token = line.substr(pos, end - pos);
  while (!token.empty() && IsWhite(token.back())) token.pop_back();
  pos = end + 1;
  return token;
}

void ParseProfileText(CProfile& p, const std::string& text) {
  size_t start = 0;
  while (start < text.size()) {
    size_t nl = text.find('\n', start);
    if (nl == std::string::npos) nl = text.size();
    std::string line = text.substr(start, nl - start);
    start = nl + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    // A NUL byte or a carriage return inside a line reads as the blank the
    // writer would put in its place, so a damaged file reads as the text it
    // will be saved as.
    std::replace_if(line.begin(), line.end(), [](char c) { return c == '\0' || c == '\r'; }, ' ');

    size_t pos = 0;
    std::string key = NextProfileToken(line, pos);
    if (key.empty()) continue;
    std::string value = NextProfileToken(line, pos);
    if (key == "device") p.device = value;
    else if (key == "fileext") p.fileext = value;
    else if (key == "t") p.t = LeadingInt(value);
    else if (key == "ss") p.ss = LeadingInt(value);
    else if (key == "an") p.an = LeadingInt(value);
    else if (key == "vcodec") { p.vcodec = value; ReadList(line, pos, p.vcodecList); }
    else if (key == "s") { p.s = value; ReadList(line, pos, p.sList); }
    else if (key == "acodec") { p.acodec = value; ReadList(line, pos, p.acodecList); }
    else if (key == "aformat") { p.aformat = value; ReadList(line, pos, p.aformatList); }
    else if (key == "ac") { p.ac = value; ReadList(line, pos, p.acList); }
    else if (key == "b") { p.b = LeadingInt(value); ReadList(line, pos, p.bList); }
    else if (key == "ab") { p.ab = LeadingInt(value); ReadList(line, pos, p.abList); }
    else if (key == "ar") { p.ar = LeadingInt(value); ReadList(line, pos, p.arList); }
    else if (key == "r") { p.r = LeadingReal(value); ReadList(line, pos, p.rList); }
  }
}

bool ReadProfile(CProfile& record, const std::string& name) {
  FILE* f = std::fopen(ProfilePath(name).c_str(), "rb");
  if (!f) return false;
  std::string text;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof(buf), f)) > 0) {
    text.append(buf, n);
    if (text.size() > kMaxProfileBytes) {
      WriteLog("Profile %s is larger than %zu bytes; the rest is ignored", name.c_str(), kMaxProfileBytes);
      text.resize(kMaxProfileBytes);
      break;
    }
  }
  std::fclose(f);
  record.name = name;
  record.device.clear();
  record.fileext.clear();
  ParseProfileText(record, text);
  return true;
}

std::string FormatProfileText(const CProfile& p) {
  std::string out;
  out += "device  = \"" + Clean(p.device) + "\" \n";
  out += "fileext = \"" + Clean(p.fileext) + "\" \n";
  out += "t       = 0 \n";
  out += "ss      = 0 \n";
  out += "vcodec  = \"" + Clean(p.vcodec) + "\" ";
  AppendList(out, p.vcodecList);
  out += "s\t    = \"" + Clean(p.s) + "\" ";
  AppendList(out, p.sList);
  out += "b\t    = " + std::to_string(p.b) + " ";
  AppendList(out, p.bList);
  out += "r       = " + FormatG(p.r) + " ";
  AppendList(out, p.rList);
  if (IsWindowsMediaProfile(p)) {
    out += "acodec  = \"" + Clean(p.acodec) + "\" \n";
    out += "aformat = \"" + Clean(p.aformat) + "\" \n";
  } else {
    out += "acodec  = \"" + Clean(p.acodec) + "\" ";
    AppendList(out, p.acodecList);
    out += "ac\t    = \"" + Clean(p.ac) + "\" ";
    AppendList(out, p.acList);
    out += "ab\t    = " + std::to_string(p.ab) + " ";
    AppendList(out, p.abList);
    out += "ar\t    = " + std::to_string(p.ar) + " ";
    AppendList(out, p.arList);
  }
  return out;
}

int WriteProfile(const CProfile& record, const std::string& name, std::string* failure) {
  if (failure) failure->clear();
  if (!PlainFileName(name)) return -1;
  std::string text = FormatProfileText(record);
  std::string disk;
  disk.reserve(text.size() + 16);
  for (char c : text) {
    if (c == '\n') disk.push_back('\r');
    disk.push_back(c);
  }
  const std::string folder = UserProfileFolder();
  const auto fail = [&](int error) {
    WriteLog("Cannot write profile %s in %s: %s", name.c_str(), folder.c_str(), std::strerror(error));
    if (failure) *failure = folder + ": " + std::strerror(error);
    return -1;
  };
  if (const int error = MakeFolders(folder); error != 0) return fail(error);
  // A temporary file renamed over the old one: a full disk never leaves a
  // half-written profile behind.
  std::string path = ProfileFile(folder, name);
  std::string tmp = path + ".tmp." + std::to_string(::getpid());
  int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return fail(errno);
  errno = 0;
  int error = WriteAll(fd, disk) ? 0 : (errno != 0 ? errno : EIO);
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && ::rename(tmp.c_str(), path.c_str()) != 0) error = errno;
  if (error != 0) {
    ::unlink(tmp.c_str());
    return fail(error);
  }
  return 0;
}

int LoadProfileList(std::vector<CProfile>& list, const std::string& lastProfile) {
  list.clear();
  // The shipped profiles, then the user's; a user's profile of a shipped
  // name is read in the shipped one's place.
  std::vector<std::string> names = ProfileNamesIn(InstalledProfileFolder());
  for (const std::string& name : ProfileNamesIn(UserProfileFolder()))
    if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
  CProfile record;  // reused for every file, as stored profiles expect
  int selected = -1;
  for (const std::string& name : names) {
    if (!ReadProfile(record, name)) WriteLog("Cannot read profile %s", name.c_str());
    list.push_back(record);
    list.back().name = name;
    if (selected < 0 && name == lastProfile) selected = static_cast<int>(list.size()) - 1;
  }
  if (list.empty()) return -1;
  return selected < 0 ? 0 : selected;
}

std::string UserProfileFolder() { return JoinPath(UserDataFolder(), "profile"); }

bool IsWindowsMediaProfile(const CProfile& record) {
  return strncasecmp(record.vcodec.c_str(), "WMV", 3) == 0 ||
         strncasecmp(record.vcodec.c_str(), "Windows Media", 13) == 0;
}

ProfileOutput ApplyProfileRules(CProfile& p, int outputFormat, int mp4VideoCodec) {
  ProfileOutput out{outputFormat, mp4VideoCodec, -1, false};
  const std::string& v = p.vcodec;
  const std::string& a = p.acodec;
  if (IsWindowsMediaProfile(p)) {
    FillWindowsMediaAudioLists(p);
    out.outputFormat = 1;
    out.windowsMedia = true;
  }
  if (EqualsNoCase(v, "xvid") && EqualsNoCase(a, "mp3")) out.outputFormat = 3;
  if (EqualsNoCase(v, "mpeg4") && EqualsNoCase(a, "mp3")) out.outputFormat = 3;
  if (EqualsNoCase(v, "mpeg4") && EqualsNoCase(a, "aac")) {
    out.outputFormat = 2;
    out.mp4VideoCodec = 0;
  }
  if (EqualsNoCase(v, "h264") && EqualsNoCase(a, "aac")) {
    out.outputFormat = 2;
    out.mp4VideoCodec = 1;
  }
  if (EqualsNoCase(v, "mpeg2video")) out.outputFormat = 4;
  if (p.device == "mobile3gp") {
    out.outputFormat = 6;
    if (EqualsNoCase(v, "h263") && EqualsNoCase(a, "amr_nb")) out.threeGpKind = 0;
    else if (EqualsNoCase(v, "h263") && EqualsNoCase(a, "mpeg4aac")) out.threeGpKind = 1;
    else if (EqualsNoCase(v, "mpeg4") && EqualsNoCase(a, "amr_nb")) out.threeGpKind = 2;
    else if (EqualsNoCase(v, "mpeg4") && EqualsNoCase(a, "mpeg4aac")) out.threeGpKind = 3;
  }
  return out;
}

bool ParseProfileSize(const std::string& s, int* width, int* height) {
  const char* p = s.c_str();
  char* end = nullptr;
  long w = std::strtol(p, &end, 10);
  if (end == p || w <= 0 || w > 8192) return false;
  if (*end != 'x' && *end != 'X') return false;
  const char* q = end + 1;
  long h = std::strtol(q, &end, 10);
  if (end == q || h <= 0 || h > 8192) return false;
  *width = static_cast<int>(w);
  *height = static_cast<int>(h);
  return true;
}

int ProfileChannels(const CProfile& record) { return LeadingInt(record.ac); }
