#pragma once
#include <string>
#include <vector>

// "COMn" in any letter case: n, or 0 when n is not 1 to 21. `isComName` tells whether the
// text has that form at all (a device path does not).
int ParseComName(const std::string& text, bool& isComName);

// When two of the --port options (`texts`, resolved to `ports`) name one port, what to say
// about the later one; else empty. Two stations on one base station would only fight over it.
std::string RepeatedPortError(const std::vector<std::string>& texts, const std::vector<int>& ports);
