#include "transfer/utf16_text.h"

namespace {
void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

std::size_t Utf8Length(char32_t c) { return c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4; }

bool IsLeadSurrogate(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsTrailSurrogate(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

// Units of the character starting at units[i]: 2 for a whole surrogate pair.
std::size_t CharacterUnits(std::u16string_view units, std::size_t i) {
  return IsLeadSurrogate(units[i]) && i + 1 < units.size() && IsTrailSurrogate(units[i + 1]) ? 2 : 1;
}

void AppendUtf16(std::u16string& out, char32_t c) {
  if (c < 0x10000) {
    out.push_back(static_cast<char16_t>(c));
  } else {
    c -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 | (c >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 | (c & 0x3FF)));
  }
}
}  // namespace

std::string Utf16ToUtf8(std::u16string_view units, std::size_t maxBytes) {
  std::string out;
  for (std::size_t i = 0; i < units.size() && units[i] != 0; ++i) {
    char32_t c = units[i];
    if (CharacterUnits(units, i) == 2) {
      c = 0x10000 + ((c - 0xD800) << 10) + (units[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    if (out.size() + Utf8Length(c) > maxBytes) break;
    AppendUtf8(out, c);
  }
  return out;
}

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  std::size_t i = 0;
  while (i < text.size()) {
    unsigned char b = static_cast<unsigned char>(text[i]);
    std::size_t len = b < 0x80 ? 1 : (b >> 5) == 0x6 ? 2 : (b >> 4) == 0xE ? 3 : (b >> 3) == 0x1E ? 4 : 0;
    char32_t c = len == 1 ? b : len == 2 ? (b & 0x1F) : len == 3 ? (b & 0x0F) : (b & 0x07);
    bool ok = len != 0 && i + len <= text.size();
    for (std::size_t k = 1; ok && k < len; ++k) {
      unsigned char cont = static_cast<unsigned char>(text[i + k]);
      if ((cont & 0xC0) != 0x80) ok = false;
      c = (c << 6) | (cont & 0x3F);
    }
    // Overlong forms, surrogates and values beyond U+10FFFF are not text.
    static const char32_t kMin[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (ok && (c < kMin[len] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))) ok = false;
    if (!ok) {
      AppendUtf16(out, 0xFFFD);
      ++i;
      continue;
    }
    AppendUtf16(out, c);
    i += len;
  }
  return out;
}

std::size_t Utf16CharacterCount(std::u16string_view units) {
  std::size_t count = 0;
  for (std::size_t i = 0; i < units.size(); i += CharacterUnits(units, i)) ++count;
  return count;
}

std::u16string Utf16FirstCharacters(std::u16string_view units, std::size_t maxChars) {
  std::size_t end = 0;
  for (std::size_t n = 0; n < maxChars && end < units.size(); ++n) end += CharacterUnits(units, end);
  return std::u16string(units.substr(0, end));
}
