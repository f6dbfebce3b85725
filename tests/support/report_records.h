#pragma once
// What the tests of the report pieces share on Linux and Windows: the standard SHA-256 vectors,
// the cases of appending to a file that is already there, and the records that two writers
// append at once with the check of the file they leave.
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <utility>

namespace report_test {

inline const std::pair<std::string, const char*> kSha256Vectors[] = {
    {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
    {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
    {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
     "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
    {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
};

// The file before (nullptr: there is none) and after appending "r\n" with the header "h\n".
struct AppendCase {
  const char* before;
  const char* after;
};
inline constexpr AppendCase kAppendCases[] = {
    {nullptr, "h\nr\n"},
    {"", "h\nr\n"},
    {"a,b\n1,2\n", "a,b\n1,2\nr\n"},
    {"a,b\n1,", "a,b\n1,\nr\n"},  // cut short by a power failure
};

inline constexpr char kHeader[] = "writer,n\n";
inline constexpr int kRecordsPerWriter = 100;

// Up to 20 kB, so that a record spans several pages of the file.
inline std::string Record(int writer, int n) {
  const nlohmann::json record = {
      {"writer", writer}, {"n", n}, {"padding", std::string((n * 997) % 20000, 'x')}};
  return record.dump() + "\n";
}

// Empty when `content` is kHeader once and then every record of writers 0 and 1 in their
// order, each on a line of its own; otherwise the first thing that is wrong.
inline std::string CheckTwoWriters(const std::string& content) {
  std::istringstream lines(content);
  std::string line;
  if (!std::getline(lines, line) || line + "\n" != kHeader)
    return "the first line is not the header";
  std::map<int, int> next;  // writer -> the record expected next
  while (std::getline(lines, line)) {
    const auto record = nlohmann::json::parse(line, nullptr, false);
    if (record.is_discarded() || !record.contains("writer") || !record.contains("n"))
      return "not a whole record: " + line.substr(0, 60);
    const int writer = record["writer"];
    if (record["n"] != next[writer]++)
      return "record out of order: " + line.substr(0, 60);
  }
  if (next != std::map<int, int>{{0, kRecordsPerWriter}, {1, kRecordsPerWriter}})
    return "records are missing";
  return "";
}

}  // namespace report_test
