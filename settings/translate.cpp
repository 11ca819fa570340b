#include "settings/translate.h"

std::string translate(const std::string& text) { return text; }
