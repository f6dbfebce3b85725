#pragma once
#include <sys/types.h>

#include <string>

// Whether anybody has opened a device since this program last took it. Looking for other
// programs with the device open goes through every process's open files in /proc (some
// milliseconds, more with many processes; several stations reopening their ports at once
// share the processor for it), so a port reopened for the next module looks again only when
// the device was opened by somebody meanwhile. An inotify watch on the device, set up once the
// port was found free and taken exclusively, sees every later opening by anyone.
class OpeningWatch {
 public:
  OpeningWatch() = default;
  OpeningWatch(const OpeningWatch&) = delete;
  OpeningWatch& operator=(const OpeningWatch&) = delete;
  ~OpeningWatch();

  // True only when `path` is still the device watched and nothing opened it since Watch; to be
  // asked before this program opens it again (its own opening counts too). Any other event
  // (the device gone, the queue overflowing), or no watch at all, says look, and so does every
  // later question until the next Watch.
  bool Untouched(const std::string& path);
  // Watches `path` from now on, once this program holds it exclusively; its own opening, just
  // made, is passed over. A program that opened the device in the moment between Untouched
  // and the exclusive hold goes unseen; the hold keeps every later one out.
  void Watch(const std::string& path);

 private:
  // Reads what the watch has queued: whether there was anything.
  bool Drain();

  int inotify_ = -1;
  int watch_ = -1;
  std::string path_;
  dev_t device_ = 0;  // the device the path led to when watched
};
