#pragma once
#include <cstdint>
#include <string>

namespace sim {

// Reads an unsigned number written in `base` (10 or 16; hexadecimal may begin with 0x) that is
// at most `limit`. Digits only: no sign, no blanks, nothing after them.
bool ParseNumber(const std::string& text, int base, uint64_t limit, uint64_t& value);

}  // namespace sim
