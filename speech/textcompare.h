// Comparing voice descriptions as the user's locale does, letter case ignored (UTF-8 texts).
#pragma once

#include <string>

// Below zero, zero or above zero, like strcmp; the order of the user's locale.
int CompareTextIgnoringCase(const std::string& a, const std::string& b);
bool SameTextIgnoringCase(const std::string& a, const std::string& b);
