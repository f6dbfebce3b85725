#include "opening_watch.h"

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// The device a path leads to now, 0 when none.
dev_t DeviceOf(const std::string& path) {
  struct stat status {};
  return stat(path.c_str(), &status) == 0 && S_ISCHR(status.st_mode) ? status.st_rdev : 0;
}
}  // namespace

OpeningWatch::~OpeningWatch() {
  if (inotify_ >= 0)
    close(inotify_);
}

bool OpeningWatch::Drain() {
  alignas(inotify_event) char events[4096];
  bool any = false;
  while (read(inotify_, events, sizeof events) > 0) any = true;
  return any;
}

bool OpeningWatch::Untouched(const std::string& path) {
  const bool untouched =
      watch_ >= 0 && path == path_ && device_ != 0 && DeviceOf(path) == device_ && !Drain();
  // Touched: every opening looks until one finds the device free again and watches it anew.
  if (!untouched && watch_ >= 0) {
    inotify_rm_watch(inotify_, watch_);
    watch_ = -1;
  }
  return untouched;
}

void OpeningWatch::Watch(const std::string& path) {
  if (inotify_ < 0)
    inotify_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (inotify_ < 0)
    return;
  if (watch_ >= 0)
    inotify_rm_watch(inotify_, watch_);
  watch_ = inotify_add_watch(inotify_, path.c_str(), IN_OPEN);
  path_ = path;
  device_ = DeviceOf(path);
  Drain();
}
