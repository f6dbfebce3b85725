#include "record_file.h"

#include <windows.h>

#include <algorithm>

namespace {
HANDLE Handle(std::intptr_t handle) {
  return reinterpret_cast<HANDLE>(handle);
}

std::string SystemReason() {
  const DWORD code = GetLastError();
  char* text = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string reason = length > 0 ? std::string(text, length) : "error " + std::to_string(code);
  LocalFree(text);
  while (!reason.empty() && std::string_view("\r\n .").find(reason.back()) != std::string::npos)
    reason.pop_back();
  return reason;
}

OVERLAPPED At(std::uint64_t offset) {
  OVERLAPPED place{};
  place.Offset = static_cast<DWORD>(offset);
  place.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return place;
}

// Byte-range locks are mandatory on Windows: a lock on the data would make a program that
// reads the report fail while a record is written. Every RecordFile locks this one byte, far
// beyond any data, instead.
constexpr std::uint64_t kLockByte = std::uint64_t{1} << 62;

// Releases the lock however Append ends.
struct LockGuard {
  HANDLE file;
  OVERLAPPED place;
  ~LockGuard() { UnlockFileEx(file, 0, 1, 0, &place); }
};

// The handle may only append, so cutting a half-written record off again takes a second one.
void CutBackTo(HANDLE file, std::uint64_t size) {
  HANDLE writer =
      ReOpenFile(file, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0);
  if (writer == INVALID_HANDLE_VALUE)
    return;
  FILE_END_OF_FILE_INFO end{};
  end.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
  SetFileInformationByHandle(writer, FileEndOfFileInfo, &end, sizeof end);
  CloseHandle(writer);
}
}  // namespace

bool RecordFile::Open(const std::string& path) {
  Close();
  path_ = path;
  error_.clear();
  // Append data only: the system puts every write at the end and none can overwrite what is
  // there. Read data to look at the last byte and to take the lock.
  HANDLE file = CreateFileA(path.c_str(),
                            FILE_READ_DATA | FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return Fail("cannot open", SystemReason());
  if (GetFileType(file) != FILE_TYPE_DISK) {
    CloseHandle(file);
    return Fail("cannot use", "not a regular file");
  }
  handle_ = reinterpret_cast<std::intptr_t>(file);
  return true;
}

bool RecordFile::Append(std::string_view record, std::string_view headerIfEmpty) {
  error_.clear();
  if (!IsOpen())
    return Fail("cannot write to", "the file is not open");
  HANDLE file = Handle(handle_);
  OVERLAPPED lockPlace = At(kLockByte);
  if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &lockPlace))
    return Fail("cannot lock", SystemReason());
  LockGuard lock{file, lockPlace};

  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file, &size))
    return Fail("cannot read", SystemReason());
  const auto sizeBefore = static_cast<std::uint64_t>(size.QuadPart);
  char last = 0;
  if (sizeBefore > 0) {
    DWORD got = 0;
    OVERLAPPED lastPlace = At(sizeBefore - 1);
    if (!ReadFile(file, &last, 1, &got, &lastPlace) || got != 1)
      return Fail("cannot read", SystemReason());
  }
  const std::string bytes = Compose(sizeBefore, last, record, headerIfEmpty);

  for (std::size_t written = 0; written < bytes.size();) {
    const auto chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - written, 1u << 30));
    DWORD n = 0;
    const BOOL ok = WriteFile(file, bytes.data() + written, chunk, &n, nullptr);
    if (!ok || n == 0) {
      const std::string reason = ok ? "nothing written" : SystemReason();
      // Half a record would break every reader of the file: cut it off again.
      if (written > 0)
        CutBackTo(file, sizeBefore);
      return Fail("cannot write to", reason);
    }
    written += n;
  }
  if (!FlushFileBuffers(file))
    return Fail("cannot sync", SystemReason());
  return true;
}

void RecordFile::Close() {
  if (IsOpen())
    CloseHandle(Handle(handle_));
  handle_ = kClosed;
}
