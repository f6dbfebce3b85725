#include "sim/number_text.h"

#include <cctype>

namespace sim {

bool ParseNumber(const std::string& text, int base, uint64_t limit, uint64_t& value) {
  size_t at = 0;
  if (base == 16 && text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
    at = 2;
  if (at == text.size())
    return false;
  uint64_t number = 0;
  for (; at < text.size(); ++at) {
    const auto c = static_cast<unsigned char>(text[at]);
    int digit = base;
    if (std::isdigit(c)) {
      digit = c - '0';
    } else if (std::isxdigit(c)) {
      digit = std::tolower(c) - 'a' + 10;
    }
    // Stopping at the limit keeps the sum far from overflowing.
    if (digit >= base || (number = number * static_cast<uint64_t>(base) + digit) > limit)
      return false;
  }
  value = number;
  return true;
}

}  // namespace sim
