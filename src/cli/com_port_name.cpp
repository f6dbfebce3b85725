#include "com_port_name.h"

#include <cctype>

int ParseComName(const std::string& text, bool& isComName) {
  constexpr int kPortCount = 21;
  isComName = false;
  if (text.size() < 4 || text.size() > 7)
    return 0;
  for (std::size_t i = 0; i < 3; ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) != "com"[i])
      return 0;
  }
  int number = 0;
  for (std::size_t i = 3; i < text.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(text[i])))
      return 0;
    number = number * 10 + (text[i] - '0');
  }
  isComName = true;
  return number >= 1 && number <= kPortCount ? number : 0;
}

std::string RepeatedPortError(const std::vector<std::string>& texts,
                              const std::vector<int>& ports) {
  for (std::size_t later = 1; later < ports.size() && later < texts.size(); ++later) {
    for (std::size_t earlier = 0; earlier < later; ++earlier) {
      if (ports[earlier] == ports[later])
        return "--port " + texts[later] + ": the same port as --port " + texts[earlier] +
               "; give each base station's port once";
    }
  }
  return {};
}
