#pragma once
// Waiting for something observable instead of sleeping: a loaded machine makes these waits
// take longer, never fail sooner.
#include <chrono>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

namespace posixtest {

// Polls `condition` until it holds (true) or `limit` has passed (false).
template <typename Condition>
bool WaitUntil(Condition condition, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= end)
      return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// True once the file holds `text` somewhere after its first `from` bytes.
inline bool WaitForText(const std::string& path, const std::string& text,
                        std::chrono::milliseconds limit, std::size_t from = 0) {
  return WaitUntil([&] { return ReadFile(path).find(text, from) != std::string::npos; }, limit);
}

}  // namespace posixtest
