#pragma once
#include <string>

// "COMn" in any letter case: n, or 0 when n is not 1 to 21. `isComName` tells whether the
// text has that form at all (a device path does not).
int ParseComName(const std::string& text, bool& isComName);
