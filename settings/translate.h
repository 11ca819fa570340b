#pragma once
// Maps a user message to its replacement text from the language table, or
// returns it unchanged when the table has none.
#include <map>
#include <string>

std::string translate(const std::string& text);

// The table read from the text of a language file (after the C library's
// text-mode line-end translation).
std::map<std::string, std::string> ParseLanguageText(const std::string& text);

// Reads the table used by translate from path now instead of from
// "./lang_eng.txt" at the first call (for tests and tools).
void LoadLanguageTable(const std::string& path);
