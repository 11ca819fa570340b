#pragma once
// Maps a user message to its replacement text from the language table, or
// returns it unchanged when the table has none.
#include <string>

std::string translate(const std::string& text);
