#include "platform/registry/registry.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>

#include "core/diag_log.h"
#include "platform/registry/machine_keys.h"
#include "platform/registry/reg_text.h"

struct RegKeyHandle {
  bool machine = false;
  std::string path;  // below the root, normalised
};

namespace {
constexpr off_t kMaxFileBytes = 16 << 20;

// The current user's registry as last read from disk. Every operation holds
// the mutex for its whole length (threads of this process) and the flock on
// the ".lock" file while it reads or replaces the file (other processes).
struct StoreState {
  std::mutex mutex;  // guards everything below
  std::string path;  // file the tree was last read from
  RegTree tree;
};

StoreState& Store() {
  static StoreState s;
  return s;
}

class FileLock {
 public:
  explicit FileLock(const std::string& path) {
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    // No wait limit: writers hold the lock only for one read and one rename.
    if (fd_ >= 0) while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {}
  }
  ~FileLock() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

 private:
  int fd_ = -1;
};

bool ReadWholeFile(const std::string& path, std::string* out, struct stat* st) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = ::fstat(fd, st) == 0;
  out->clear();
  if (ok && st->st_size > kMaxFileBytes) {
    out->assign("\0oversized", 10);  // read as damaged
  } else {
    char buf[65536];
    ssize_t n;
    while (ok && (n = ::read(fd, buf, sizeof(buf))) != 0) {
      if (n < 0) {
        if (errno == EINTR) continue;
        ok = false;
        break;
      }
      out->append(buf, static_cast<size_t>(n));
    }
  }
  ::close(fd);
  return ok;
}

bool WriteWholeFile(const std::string& path, const std::string& bytes) {
  std::string tmp = path + ".tmp." + std::to_string(::getpid());
  int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  bool ok = true;
  for (size_t done = 0; ok && done < bytes.size();) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) ok = false;
    else done += static_cast<size_t>(n);
  }
  if (ok && ::fsync(fd) != 0) ok = false;
  if (::close(fd) != 0) ok = false;
  if (ok && ::rename(tmp.c_str(), path.c_str()) != 0) ok = false;
  if (!ok) ::unlink(tmp.c_str());
  return ok;
}

std::string FolderOf(const std::string& path) { return path.substr(0, path.rfind('/')); }

bool SetAside(const std::string& path, const std::string& why) {
  char stamp[32];
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  std::strftime(stamp, sizeof(stamp), "%Y%m%d-%H%M%S", &tm);
  std::string aside = path + ".damaged-" + stamp;
  for (int i = 2; std::filesystem::exists(aside); ++i) aside = path + ".damaged-" + stamp + "-" + std::to_string(i);
  if (::rename(path.c_str(), aside.c_str()) == 0) {
    WriteLog("Settings file %s is damaged (%s); kept as %s, using what could be read", path.c_str(),
             why.c_str(), aside.c_str());
    return true;
  }
  WriteLog("Settings file %s is damaged (%s) and could not be set aside: %s", path.c_str(), why.c_str(),
           std::strerror(errno));
  return false;
}

// Reads the tree from the file again. The file is small, and re-reading it
// under the lock every time is what keeps a write by the other program (the
// window or the batch converter) from being lost: file time stamps are too
// coarse to tell two quick writes apart.
enum class FileState {
  Sound,
  Salvaged,   // damaged and set aside: write the salvaged tree back
  Protected,  // unreadable, read-only or damaged and not set aside: never replace it
};

FileState Refresh(StoreState& s, const std::string& path) {
  struct stat st{};
  s.tree.clear();
  s.path = path;
  if (::stat(path.c_str(), &st) != 0) return FileState::Sound;
  std::string bytes;
  if (!ReadWholeFile(path, &bytes, &st)) {
    WriteLog("Settings file %s cannot be read: %s", path.c_str(), std::strerror(errno));
    return FileState::Protected;
  }
  RegParseResult parsed = ParseRegText(bytes);
  for (const auto& e : parsed.edits) ApplyRegEdit(s.tree, e);
  bool damaged = !bytes.empty() && (!parsed.recognised || !parsed.problems.empty());
  if (damaged)
    return SetAside(path, parsed.problems.empty() ? std::string("unreadable") : parsed.problems.front())
               ? FileState::Salvaged
               : FileState::Protected;
  // A file the user made read-only is left as it is, even for root.
  if (::access(path.c_str(), W_OK) != 0 || (st.st_mode & 0222) == 0) return FileState::Protected;
  return FileState::Sound;
}

// Runs op on the current tree; op returns true when it changed the tree,
// which is then written back.
LONG WithTree(bool write, const std::function<LONG(RegTree&, bool*)>& op) {
  StoreState& s = Store();
  std::lock_guard<std::mutex> guard(s.mutex);
  std::string path = RegistryFilePath();
  std::error_code ec;
  if (write) std::filesystem::create_directories(FolderOf(path), ec);
  bool folder = std::filesystem::is_directory(FolderOf(path), ec);
  std::unique_ptr<FileLock> lock;
  if (folder) lock = std::make_unique<FileLock>(path + ".lock");
  FileState state = Refresh(s, path);
  bool changed = false;
  LONG rc = op(s.tree, &changed);
  if (changed && state == FileState::Protected) {
    WriteLog("Settings file %s is not replaced: it cannot be read or written", path.c_str());
    return ERROR_ACCESS_DENIED;
  }
  if ((changed || state == FileState::Salvaged) && folder) {
    if (!WriteWholeFile(path, WriteRegText(s.tree))) {
      WriteLog("Settings file %s cannot be written: %s", path.c_str(), std::strerror(errno));
      return changed ? ERROR_WRITE_FAULT : rc;
    }
  } else if (changed) {
    WriteLog("Settings folder %s cannot be created: %s", FolderOf(path).c_str(), ec.message().c_str());
    return ERROR_WRITE_FAULT;
  }
  return rc;
}

bool KeyExists(const RegTree& tree, const std::string& path) {
  if (path.empty()) return true;
  std::string lower = RegLower(path);
  auto it = tree.lower_bound(lower);
  if (it == tree.end()) return false;
  if (it->first == lower) return true;
  return it->first.compare(0, lower.size() + 1, lower + "\\") == 0;
}

bool HasSubkeys(const RegTree& tree, const std::string& path) {
  std::string prefix = RegLower(path) + "\\";
  auto it = tree.lower_bound(prefix);
  return it != tree.end() && it->first.compare(0, prefix.size(), prefix) == 0;
}

const RegKeyHandle* Resolve(HKEY key) {
  static const RegKeyHandle kUser{false, ""};
  static const RegKeyHandle kMachine{true, ""};
  if (key == HKEY_CURRENT_USER) return &kUser;
  if (key == HKEY_LOCAL_MACHINE) return &kMachine;
  return key;
}

bool SubPath(HKEY key, const char* subKey, const RegKeyHandle** base, std::string* path) {
  *base = Resolve(key);
  if (!*base) return false;
  std::string joined = (*base)->path;
  if (subKey && *subKey) joined += "\\" + std::string(subKey);
  return RegNormalisePath(joined, path);
}

const RegValue* FindValue(const RegTree& tree, const std::string& path, const std::string& name) {
  auto k = tree.find(RegLower(path));
  if (k == tree.end()) return nullptr;
  auto v = k->second.values.find(RegLower(name));
  return v == k->second.values.end() ? nullptr : &v->second;
}

bool IsText(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

LONG SetValue(const std::string& path, const std::string& name, DWORD type, std::string data) {
  return WithTree(true, [&](RegTree& tree, bool* changed) {
    RegEdit e;
    e.kind = RegEdit::SetValue;
    e.keyPath = path;
    e.value.name = name;
    e.value.type = type;
    e.value.data = std::move(data);
    const RegValue* old = FindValue(tree, path, name);
    if (!old || old->type != type || old->data != e.value.data) {
      ApplyRegEdit(tree, e);
      *changed = true;
    }
    return ERROR_SUCCESS;
  });
}

LONG GetValue(const RegKeyHandle* base, const std::string& path, const std::string& name, DWORD* type,
              std::string* data) {
  if (base->machine)
    return MachineValue(path, name, type, data) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
  return WithTree(false, [&](RegTree& tree, bool*) {
    if (!KeyExists(tree, path)) return ERROR_FILE_NOT_FOUND;
    const RegValue* v = FindValue(tree, path, name);
    if (!v) return ERROR_FILE_NOT_FOUND;
    *type = v->type;
    *data = v->data;
    return ERROR_SUCCESS;
  });
}
}  // namespace

std::string RegistryFilePath() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  std::string base;
  if (xdg && xdg[0] == '/') {
    base = xdg;
  } else {
    const char* home = std::getenv("HOME");
    if (!home || !*home) {
      const passwd* pw = ::getpwuid(::getuid());
      home = pw ? pw->pw_dir : "/tmp";
    }
    base = std::string(home) + "/.config";
  }
  return base + "/Corvane/registry.reg";
}

LONG RegCreateKeyA(HKEY key, const char* subKey, HKEY* result) {
  const RegKeyHandle* base;
  std::string path;
  if (!result) return ERROR_INVALID_PARAMETER;
  if (!SubPath(key, subKey, &base, &path)) return ERROR_INVALID_PARAMETER;
  if (base->machine) {
    if (!MachineKeyExists(path)) return ERROR_ACCESS_DENIED;
  } else if (!path.empty()) {
    LONG rc = WithTree(true, [&](RegTree& tree, bool* changed) {
      if (!KeyExists(tree, path)) {
        RegEdit e;
        e.kind = RegEdit::CreateKey;
        e.keyPath = path;
        ApplyRegEdit(tree, e);
        *changed = true;
      }
      return ERROR_SUCCESS;
    });
    if (rc != ERROR_SUCCESS) return rc;
  }
  *result = new RegKeyHandle{base->machine, path};
  return ERROR_SUCCESS;
}

LONG RegOpenKeyA(HKEY key, const char* subKey, HKEY* result) {
  const RegKeyHandle* base;
  std::string path;
  if (!result) return ERROR_INVALID_PARAMETER;
  if (!SubPath(key, subKey, &base, &path)) return ERROR_FILE_NOT_FOUND;
  bool exists = base->machine ? (path.empty() || MachineKeyExists(path))
                              : WithTree(false, [&](RegTree& tree, bool*) {
                                  return KeyExists(tree, path) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
                                }) == ERROR_SUCCESS;
  if (!exists) return ERROR_FILE_NOT_FOUND;
  *result = new RegKeyHandle{base->machine, path};
  return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key) {
  if (key == HKEY_CURRENT_USER || key == HKEY_LOCAL_MACHINE) return ERROR_SUCCESS;
  if (!key) return ERROR_INVALID_HANDLE;
  delete key;
  return ERROR_SUCCESS;
}

LONG RegSetValueA(HKEY key, const char* subKey, DWORD type, const char* data, DWORD /*length*/) {
  const RegKeyHandle* base;
  std::string path;
  if (type != REG_SZ || !data) return ERROR_INVALID_PARAMETER;
  if (!SubPath(key, subKey, &base, &path)) return ERROR_INVALID_PARAMETER;
  if (base->machine) return ERROR_ACCESS_DENIED;
  if (path.empty()) return ERROR_INVALID_PARAMETER;
  // As on Windows, the length is not used: the text runs to its terminator.
  return SetValue(path, "", REG_SZ, data);
}

LONG RegUpdateValueA(HKEY key, const char* subKey, const std::function<std::string(const std::string&)>& update) {
  const RegKeyHandle* base;
  std::string path;
  if (!SubPath(key, subKey, &base, &path)) return ERROR_INVALID_PARAMETER;
  if (base->machine) return ERROR_ACCESS_DENIED;
  if (path.empty()) return ERROR_INVALID_PARAMETER;
  return WithTree(true, [&](RegTree& tree, bool* changed) {
    const RegValue* old = FindValue(tree, path, "");
    const std::string current = old && IsText(old->type) ? old->data : std::string();
    RegEdit e;
    e.kind = RegEdit::SetValue;
    e.keyPath = path;
    e.value.type = REG_SZ;
    e.value.data = update(current);
    if (!old || old->type != REG_SZ || old->data != e.value.data) {
      ApplyRegEdit(tree, e);
      *changed = true;
    }
    return ERROR_SUCCESS;
  });
}

LONG RegQueryValueA(HKEY key, const char* subKey, char* data, LONG* length) {
  const RegKeyHandle* base;
  std::string path;
  if (!length || *length < 0) return ERROR_INVALID_PARAMETER;
  if (!SubPath(key, subKey, &base, &path)) return ERROR_FILE_NOT_FOUND;
  DWORD type = 0;
  std::string value;
  LONG rc = GetValue(base, path, "", &type, &value);
  if (rc != ERROR_SUCCESS) return rc;
  if (!IsText(type)) return ERROR_INVALID_PARAMETER;
  value = value.substr(0, value.find('\0'));
  LONG needed = static_cast<LONG>(value.size() + 1);
  if (!data) {
    *length = needed;
    return ERROR_SUCCESS;
  }
  if (*length < needed) {
    *length = needed;
    return ERROR_MORE_DATA;
  }
  std::memcpy(data, value.c_str(), value.size() + 1);
  *length = needed;
  return ERROR_SUCCESS;
}

LONG RegSetValueExA(HKEY key, const char* name, DWORD, DWORD type, const BYTE* data, DWORD size) {
  const RegKeyHandle* base = Resolve(key);
  if (!base) return ERROR_INVALID_HANDLE;
  if (base->machine) return ERROR_ACCESS_DENIED;
  if (base->path.empty()) return ERROR_INVALID_PARAMETER;
  if (!data && size) return ERROR_INVALID_PARAMETER;
  std::string bytes(reinterpret_cast<const char*>(data), data ? size : 0);
  if (type == REG_DWORD && bytes.size() != 4) return ERROR_INVALID_PARAMETER;
  if (type == REG_SZ || type == REG_EXPAND_SZ) bytes = bytes.substr(0, bytes.find('\0'));
  if (type == REG_MULTI_SZ)
    while (!bytes.empty() && bytes.back() == '\0') bytes.pop_back();
  return SetValue(base->path, name ? name : "", type, bytes);
}

LONG RegQueryValueExA(HKEY key, const char* name, DWORD*, DWORD* type, BYTE* data, DWORD* size) {
  const RegKeyHandle* base = Resolve(key);
  if (!base) return ERROR_INVALID_HANDLE;
  if (data && !size) return ERROR_INVALID_PARAMETER;
  DWORD t = 0;
  std::string value;
  LONG rc = GetValue(base, base->path, name ? name : "", &t, &value);
  if (rc != ERROR_SUCCESS) return rc;
  if (IsText(t)) value.push_back('\0');
  if (t == REG_MULTI_SZ) value.push_back('\0');
  if (type) *type = t;
  if (!size) return ERROR_SUCCESS;
  DWORD needed = static_cast<DWORD>(value.size());
  if (data && *size < needed) {
    *size = needed;
    return ERROR_MORE_DATA;
  }
  if (data) std::memcpy(data, value.data(), value.size());
  *size = needed;
  return ERROR_SUCCESS;
}

LONG RegDeleteValueA(HKEY key, const char* name) {
  const RegKeyHandle* base = Resolve(key);
  if (!base) return ERROR_INVALID_HANDLE;
  if (base->machine) return ERROR_ACCESS_DENIED;
  std::string n = name ? name : "";
  return WithTree(true, [&](RegTree& tree, bool* changed) {
    if (!FindValue(tree, base->path, n)) return ERROR_FILE_NOT_FOUND;
    RegEdit e;
    e.kind = RegEdit::DeleteValue;
    e.keyPath = base->path;
    e.value.name = n;
    ApplyRegEdit(tree, e);
    *changed = true;
    return ERROR_SUCCESS;
  });
}

LONG RegDeleteKeyA(HKEY key, const char* subKey) {
  const RegKeyHandle* base;
  std::string path;
  if (!subKey || !*subKey) return ERROR_INVALID_PARAMETER;
  if (!SubPath(key, subKey, &base, &path)) return ERROR_FILE_NOT_FOUND;
  if (base->machine) return ERROR_ACCESS_DENIED;
  return WithTree(true, [&](RegTree& tree, bool* changed) {
    if (!KeyExists(tree, path)) return ERROR_FILE_NOT_FOUND;
    if (HasSubkeys(tree, path)) return ERROR_ACCESS_DENIED;
    tree.erase(RegLower(path));
    *changed = true;
    return ERROR_SUCCESS;
  });
}

bool ImportRegFile(const std::string& path) {
  std::string bytes;
  struct stat st{};
  if (!ReadWholeFile(path, &bytes, &st)) return false;  // a missing file is skipped silently
  RegParseResult parsed = ParseRegText(bytes);
  if (!parsed.recognised) {
    WriteLog("Registry import %s: not a registry file", path.c_str());
    return false;
  }
  for (const auto& p : parsed.problems) WriteLog("Registry import %s: %s", path.c_str(), p.c_str());
  LONG rc = WithTree(true, [&](RegTree& tree, bool* changed) {
    for (const auto& e : parsed.edits) ApplyRegEdit(tree, e);
    *changed = !parsed.edits.empty();
    return ERROR_SUCCESS;
  });
  return rc == ERROR_SUCCESS;
}
