#include "platform/registry/reg_text.h"

#include <cstdio>
#include <cstring>

namespace {
constexpr size_t kMaxLine = 1u << 20;       // one logical line, continuations joined
constexpr size_t kMaxProblems = 50;         // problems kept for the log

const char kHeader4[] = "REGEDIT4";
const char kHeader5[] = "Windows Registry Editor Version 5.00";
const char kCurrentUser[] = "HKEY_CURRENT_USER";

void AppendUtf8(std::string& out, unsigned cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

// UTF-16LE (the usual form of version 5.00 files) to UTF-8; unpaired
// surrogates become U+FFFD.
std::string Utf16LeToUtf8(const std::string& in, size_t start) {
  std::string out;
  for (size_t i = start; i + 1 < in.size(); i += 2) {
    unsigned u = static_cast<unsigned char>(in[i]) | (static_cast<unsigned char>(in[i + 1]) << 8);
    if (u >= 0xD800 && u < 0xDC00 && i + 3 < in.size()) {
      unsigned lo = static_cast<unsigned char>(in[i + 2]) | (static_cast<unsigned char>(in[i + 3]) << 8);
      if (lo >= 0xDC00 && lo < 0xE000) {
        AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00));
        i += 2;
        continue;
      }
    }
    if (u >= 0xD800 && u < 0xE000) u = 0xFFFD;
    AppendUtf8(out, u);
  }
  return out;
}

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r");
  if (b == std::string::npos) return "";
  size_t e = s.find_last_not_of(" \t\r");
  return s.substr(b, e - b + 1);
}

// Reads a quoted string at s[pos] == '"' with the escapes \\ and \".
bool ReadQuoted(const std::string& s, size_t& pos, std::string* out) {
  out->clear();
  for (++pos; pos < s.size(); ++pos) {
    char c = s[pos];
    if (c == '\\' && pos + 1 < s.size()) {
      out->push_back(s[++pos]);
    } else if (c == '"') {
      ++pos;
      return true;
    } else {
      out->push_back(c);
    }
  }
  return false;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool ParseHexBytes(const std::string& s, std::string* out) {
  out->clear();
  size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == ',')) ++i;
    if (i >= s.size()) break;
    if (i + 1 >= s.size()) return false;
    int hi = HexDigit(s[i]), lo = HexDigit(s[i + 1]);
    if (hi < 0 || lo < 0) return false;
    out->push_back(static_cast<char>(hi * 16 + lo));
    i += 2;
    if (i < s.size() && s[i] != ',' && s[i] != ' ' && s[i] != '\t') return false;
  }
  return true;
}

bool IsTextType(DWORD type) { return type == 1 || type == 2 || type == 7; }

// Text held in hex: UTF-16LE in version 5.00 files, bytes in REGEDIT4; the
// terminator is dropped.
std::string HexText(const std::string& raw, bool unicode, DWORD type) {
  std::string text = unicode ? Utf16LeToUtf8(raw, 0) : raw;
  if (type == 7) {
    while (!text.empty() && text.back() == '\0') text.pop_back();
    return text;
  }
  size_t nul = text.find('\0');
  return nul == std::string::npos ? text : text.substr(0, nul);
}

// True when a value line's data is a hex list, the only form a trailing
// '\' continues (a string may well end in a backslash).
bool ContinuesHex(const std::string& t) {
  size_t pos = 0;
  std::string name;
  if (t.empty()) return false;
  if (t[0] == '@') pos = 1;
  else if (t[0] != '"' || !ReadQuoted(t, pos, &name)) return false;
  while (pos < t.size() && (t[pos] == ' ' || t[pos] == '\t')) ++pos;
  if (pos >= t.size() || t[pos] != '=') return false;
  ++pos;
  while (pos < t.size() && (t[pos] == ' ' || t[pos] == '\t')) ++pos;
  return RegLower(t.substr(pos, 3)) == "hex";
}

struct LineParser {
  explicit LineParser(RegParseResult& r) : result(r) {}
  RegParseResult& result;
  bool unicode = false;
  bool inCurrentUser = false;
  std::string key;
  int lineNo = 0;

  void Problem(const char* what) {
    if (result.problems.size() < kMaxProblems) {
      char buf[96];
      std::snprintf(buf, sizeof(buf), "line %d: %s", lineNo, what);
      result.problems.push_back(buf);
    }
  }

  void KeyLine(const std::string& line) {
    inCurrentUser = false;
    size_t close = line.rfind(']');
    if (close == std::string::npos) return Problem("key line without ']'");
    bool del = line.size() > 1 && line[1] == '-';
    std::string full = line.substr(del ? 2 : 1, close - (del ? 2 : 1));
    size_t slash = full.find('\\');
    std::string root = full.substr(0, slash);
    if (RegLower(root) != RegLower(kCurrentUser) && RegLower(root) != "hkcu") {
      return Problem("key outside HKEY_CURRENT_USER skipped");
    }
    std::string path;
    if (!RegNormalisePath(slash == std::string::npos ? "" : full.substr(slash + 1), &path))
      return Problem("key name too long");
    if (path.empty()) return Problem("the root itself cannot be changed");
    RegEdit e;
    e.kind = del ? RegEdit::DeleteKey : RegEdit::CreateKey;
    e.keyPath = path;
    result.edits.push_back(e);
    if (!del) {
      inCurrentUser = true;
      key = path;
    }
  }

  void ValueLine(const std::string& line) {
    if (!inCurrentUser) return;  // values of a skipped or deleted key
    RegEdit e;
    e.keyPath = key;
    size_t pos = 0;
    if (line[0] == '@') {
      pos = 1;
    } else if (line[0] == '"') {
      if (!ReadQuoted(line, pos, &e.value.name)) return Problem("unterminated value name");
    } else {
      return Problem("not a key or value line");
    }
    while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
    if (pos >= line.size() || line[pos] != '=') return Problem("value without '='");
    std::string data = Trim(line.substr(pos + 1));
    if (data == "-") {
      e.kind = RegEdit::DeleteValue;
      result.edits.push_back(e);
      return;
    }
    e.kind = RegEdit::SetValue;
    if (!data.empty() && data[0] == '"') {
      size_t p = 0;
      if (!ReadQuoted(data, p, &e.value.data)) return Problem("unterminated string");
      if (!Trim(data.substr(p)).empty()) return Problem("text after the string");
      e.value.type = 1;
    } else if (RegLower(data.substr(0, 6)) == "dword:") {
      std::string digits = Trim(data.substr(6));
      if (digits.empty() || digits.size() > 8) return Problem("bad dword");
      DWORD v = 0;
      for (char c : digits) {
        int d = HexDigit(c);
        if (d < 0) return Problem("bad dword");
        v = v * 16 + static_cast<DWORD>(d);
      }
      e.value.type = 4;
      e.value.data.assign(reinterpret_cast<const char*>(&v), 4);
    } else if (RegLower(data.substr(0, 3)) == "hex") {
      DWORD type = 3;
      size_t colon = data.find(':');
      if (colon == std::string::npos) return Problem("bad hex value");
      if (colon > 3) {
        if (data[3] != '(' || data[colon - 1] != ')') return Problem("bad hex type");
        std::string t = data.substr(4, colon - 5);
        if (t.empty() || t.size() > 8) return Problem("bad hex type");
        type = 0;
        for (char c : t) {
          int d = HexDigit(c);
          if (d < 0) return Problem("bad hex type");
          type = type * 16 + static_cast<DWORD>(d);
        }
      }
      std::string raw;
      if (!ParseHexBytes(data.substr(colon + 1), &raw)) return Problem("bad hex bytes");
      e.value.type = type;
      e.value.data = IsTextType(type) ? HexText(raw, unicode, type) : raw;
    } else {
      return Problem("unknown value form");
    }
    result.edits.push_back(std::move(e));
  }
};
}  // namespace

std::string RegLower(const std::string& s) {
  std::string out = s;
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

bool RegNormalisePath(const std::string& in, std::string* out) {
  out->clear();
  if (in.size() > 4096) return false;
  size_t start = 0;
  while (start <= in.size()) {
    size_t sep = in.find('\\', start);
    if (sep == std::string::npos) sep = in.size();
    std::string part = in.substr(start, sep - start);
    if (part.size() > 255) return false;
    if (!part.empty()) {
      if (!out->empty()) out->push_back('\\');
      *out += part;
    }
    start = sep + 1;
  }
  return true;
}

RegParseResult ParseRegText(const std::string& bytes) {
  RegParseResult result;
  LineParser p(result);
  std::string text;
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
      static_cast<unsigned char>(bytes[1]) == 0xFE) {
    text = Utf16LeToUtf8(bytes, 2);
  } else if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
    text = bytes.substr(3);
  } else {
    text = bytes;
  }

  size_t pos = 0;
  bool headerSeen = false;
  while (pos < text.size()) {
    // One logical line: a line ending in '\' continues on the next.
    std::string line;
    bool tooLong = false;
    int physical = 0;
    while (pos < text.size()) {
      size_t nl = text.find('\n', pos);
      if (nl == std::string::npos) nl = text.size();
      std::string piece = text.substr(pos, nl - pos);
      pos = nl + 1;
      ++physical;
      if (!piece.empty() && piece.back() == '\r') piece.pop_back();
      if (line.size() + piece.size() > kMaxLine) tooLong = true;
      else line += piece;
      std::string t = Trim(line);
      if (!t.empty() && t.back() == '\\' && ContinuesHex(t) && pos < text.size()) {
        line = t.substr(0, t.size() - 1);
        continue;
      }
      break;
    }
    p.lineNo += physical;
    if (tooLong) {
      p.Problem("line too long");
      continue;
    }
    if (line.find('\0') != std::string::npos) {
      p.Problem("binary bytes in the text");
      continue;
    }
    line = Trim(line);
    if (line.empty() || line[0] == ';') continue;
    if (!headerSeen) {
      if (line == kHeader4) {
        headerSeen = true;
        p.unicode = false;
      } else if (line == kHeader5) {
        headerSeen = true;
        p.unicode = true;
      } else {
        p.Problem("no REGEDIT4 header");
        return result;
      }
      result.recognised = true;
      continue;
    }
    if (line[0] == '[') p.KeyLine(line);
    else p.ValueLine(line);
  }
  return result;
}

void ApplyRegEdit(RegTree& tree, const RegEdit& e) {
  std::string lower = RegLower(e.keyPath);
  switch (e.kind) {
    case RegEdit::CreateKey: {
      auto& k = tree[lower];
      if (k.path.empty()) k.path = e.keyPath;
      break;
    }
    case RegEdit::SetValue: {
      auto& k = tree[lower];
      if (k.path.empty()) k.path = e.keyPath;
      std::string name = RegLower(e.value.name);
      auto it = k.values.find(name);
      if (it == k.values.end()) {
        k.values[name] = e.value;
      } else {
        it->second.type = e.value.type;
        it->second.data = e.value.data;
      }
      break;
    }
    case RegEdit::DeleteValue: {
      auto it = tree.find(lower);
      if (it != tree.end()) it->second.values.erase(RegLower(e.value.name));
      break;
    }
    case RegEdit::DeleteKey: {
      // A .reg "[-key]" removes the whole subtree.
      std::string prefix = lower + "\\";
      for (auto it = tree.begin(); it != tree.end();) {
        if (it->first == lower || it->first.compare(0, prefix.size(), prefix) == 0) it = tree.erase(it);
        else ++it;
      }
      break;
    }
  }
}

namespace {
std::string Quote(const std::string& s) {
  std::string out = "\"";
  for (char c : s) {
    if (c == '\\' || c == '"') out.push_back('\\');
    out.push_back(c);
  }
  out.push_back('"');
  return out;
}

bool PlainText(const std::string& s) {
  for (unsigned char c : s)
    if (c < 0x20 || c == 0x7F) return false;
  return true;
}

std::string HexList(const std::string& bytes) {
  std::string out;
  char buf[4];
  for (size_t i = 0; i < bytes.size(); ++i) {
    std::snprintf(buf, sizeof(buf), "%02x", static_cast<unsigned char>(bytes[i]));
    if (i) out.push_back(',');
    out += buf;
  }
  return out;
}
}  // namespace

std::string WriteRegText(const RegTree& tree) {
  std::string out = std::string(kHeader4) + "\n\n";
  for (const auto& [lower, key] : tree) {
    out += "[" + std::string(kCurrentUser) + "\\" + key.path + "]\n";
    for (const auto& [vlower, v] : key.values) {
      out += v.name.empty() ? std::string("@") : Quote(v.name);
      out += "=";
      if (v.type == 1 && PlainText(v.data)) {
        out += Quote(v.data);
      } else if (v.type == 4 && v.data.size() == 4) {
        DWORD d;
        std::memcpy(&d, v.data.data(), 4);
        char buf[24];
        std::snprintf(buf, sizeof(buf), "dword:%08x", d);
        out += buf;
      } else {
        // Text with control characters keeps its bytes (and terminator) in hex.
        std::string bytes = v.data;
        if (IsTextType(v.type)) bytes.push_back('\0');
        char buf[24];
        if (v.type == 3) std::snprintf(buf, sizeof(buf), "hex:");
        else std::snprintf(buf, sizeof(buf), "hex(%x):", v.type);
        out += buf + HexList(bytes);
      }
      out += "\n";
    }
    out += "\n";
  }
  return out;
}
