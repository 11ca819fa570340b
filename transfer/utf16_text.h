#pragma once
// Conversions between the UTF-16 text stored in MP4 title entries and the
// UTF-8 text the rest of the program uses.
#include <cstddef>
#include <string>
#include <string_view>

// UTF-8 of the units up to the first zero unit (or all of them), at most
// maxBytes bytes, never cutting a character. Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view units, std::size_t maxBytes);

// UTF-16 of UTF-8 text; malformed bytes become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);

// Characters of UTF-16 text: a surrogate pair counts once.
std::size_t Utf16CharacterCount(std::u16string_view units);

// The first maxChars characters of units, never ending inside a surrogate pair.
std::u16string Utf16FirstCharacters(std::u16string_view units, std::size_t maxChars);
