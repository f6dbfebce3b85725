// The parts of RecordFile that are the same on every system: what goes into the file, and how
// a failure reads.
#include "record_file.h"

std::string RecordFile::Compose(std::uint64_t size, char last, std::string_view record,
                                std::string_view headerIfEmpty) {
  std::string bytes;
  if (size == 0)
    bytes.append(headerIfEmpty);
  else if (last != '\n')
    bytes += '\n';
  return bytes.append(record);
}

bool RecordFile::Fail(const char* what, const std::string& reason) {
  error_ = std::string(what) + " " + path_ + ": " + reason;
  return false;
}
