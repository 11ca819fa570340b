#pragma once

#include <string>

// Small text helpers of the batch converter's messages and commands.
std::string LowerCase(std::string text);
// Without the trailing spaces and line ends a message ends on.
std::string WithoutTrailingBlanks(std::string text);
