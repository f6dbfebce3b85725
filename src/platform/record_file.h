#pragma once
// A report file that one or more programs append whole records to (one per module attempt).
// It is opened for appending, created when missing and never truncated. Each record goes out
// in one write under an exclusive lock that every RecordFile takes (flock on Linux,
// LockFileEx on Windows) and is on the disk before Append returns, so a crash loses at most
// the record being written and two programs never interleave inside a record.
#include <cstdint>
#include <string>
#include <string_view>

class RecordFile {
 public:
  RecordFile() = default;
  ~RecordFile() { Close(); }
  RecordFile(const RecordFile&) = delete;
  RecordFile& operator=(const RecordFile&) = delete;

  // Opens `path` for appending, creating it when missing. False, with Error() set, when it
  // cannot be opened.
  bool Open(const std::string& path);
  // Appends `record` whole, flushed and synced. `headerIfEmpty` (a CSV header row) goes first,
  // in the same write, when the file is empty: decided under the lock, so two programs that
  // start together write it once. A file whose last byte is not a newline (a record cut short
  // by a power failure, or a file edited by hand) first gets one, so that the new record
  // starts a line of its own. A write that fails part-way is undone where the system allows.
  // False, with Error() set, when the record may not be in the file.
  bool Append(std::string_view record, std::string_view headerIfEmpty = {});
  void Close();
  bool IsOpen() const { return handle_ != kClosed; }
  // Why the last Open or Append failed: what was being done, the file and the system's reason.
  const std::string& Error() const { return error_; }

 private:
  static constexpr std::intptr_t kClosed = -1;
  // What Append writes to a file of `size` bytes whose last byte is `last`.
  static std::string Compose(std::uint64_t size, char last, std::string_view record,
                             std::string_view headerIfEmpty);
  // Sets Error() to "<what> <path>: <reason>" and returns false.
  bool Fail(const char* what, const std::string& reason);

  std::string path_;
  std::string error_;
  std::intptr_t handle_ = kClosed;  // the file descriptor, or the Windows file handle
};
