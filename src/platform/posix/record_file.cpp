#include "record_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace {
template <typename Call>
auto RetryOnSignal(Call call) {
  decltype(call()) result;
  do {
    result = call();
  } while (result == -1 && errno == EINTR);
  return result;
}

std::string SystemReason() {
  return std::strerror(errno);
}

// A new file's name must reach the disk as well, or a power failure could take the whole file
// with every record in it.
void SyncDirectoryOf(const std::string& path) {
  const std::filesystem::path parent = std::filesystem::path(path).parent_path();
  const std::filesystem::path directory = parent.empty() ? std::filesystem::path(".") : parent;
  const int fd = RetryOnSignal([&] { return open(directory.c_str(), O_RDONLY | O_DIRECTORY); });
  if (fd < 0)
    return;
  fsync(fd);
  close(fd);
}

// Releases the lock however Append ends.
struct LockGuard {
  int fd;
  ~LockGuard() { flock(fd, LOCK_UN); }
};
}  // namespace

bool RecordFile::Open(const std::string& path) {
  Close();
  path_ = path;
  error_.clear();
  // Read access only to look at the last byte; O_APPEND puts every write at the end.
  constexpr int kFlags = O_RDWR | O_APPEND | O_CLOEXEC;
  int fd = RetryOnSignal([&] { return open(path.c_str(), kFlags | O_CREAT | O_EXCL, 0666); });
  const bool created = fd >= 0;
  if (!created && errno == EEXIST)
    fd = RetryOnSignal([&] { return open(path.c_str(), kFlags); });
  if (fd < 0)
    return Fail("cannot open", SystemReason());
  struct stat status {};
  if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    close(fd);
    return Fail("cannot use", "not a regular file");
  }
  if (created)
    SyncDirectoryOf(path);
  handle_ = fd;
  return true;
}

bool RecordFile::Append(std::string_view record, std::string_view headerIfEmpty) {
  error_.clear();
  if (!IsOpen())
    return Fail("cannot write to", "the file is not open");
  const int fd = static_cast<int>(handle_);
  if (RetryOnSignal([&] { return flock(fd, LOCK_EX); }) != 0)
    return Fail("cannot lock", SystemReason());
  LockGuard lock{fd};

  struct stat status {};
  if (fstat(fd, &status) != 0)
    return Fail("cannot read", SystemReason());
  const off_t sizeBefore = status.st_size;
  char last = 0;
  if (sizeBefore > 0 && RetryOnSignal([&] { return pread(fd, &last, 1, sizeBefore - 1); }) != 1)
    return Fail("cannot read", SystemReason());
  const std::string bytes = Compose(sizeBefore, last, record, headerIfEmpty);

  for (std::size_t written = 0; written < bytes.size();) {
    const ssize_t n =
        RetryOnSignal([&] { return write(fd, bytes.data() + written, bytes.size() - written); });
    if (n <= 0) {
      const std::string reason = n == 0 ? "nothing written" : SystemReason();
      // Half a record would break every reader of the file: cut it off again.
      if (written > 0)
        RetryOnSignal([&] { return ftruncate(fd, sizeBefore); });
      return Fail("cannot write to", reason);
    }
    written += static_cast<std::size_t>(n);
  }
  if (RetryOnSignal([&] { return fsync(fd); }) != 0)
    return Fail("cannot sync", SystemReason());
  return true;
}

void RecordFile::Close() {
  if (IsOpen())
    close(static_cast<int>(handle_));
  handle_ = kClosed;
}
