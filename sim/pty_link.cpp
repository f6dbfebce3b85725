#include "sim/pty_link.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace sim {

namespace {
bool SameSettings(const LineSettings& a, const LineSettings& b) {
  return a.baud == b.baud && a.dataBits == b.dataBits && a.parity == b.parity &&
         a.stopBits == b.stopBits;
}
}  // namespace

PtyLink::~PtyLink() {
  RemoveLink();
  if (master_ >= 0)
    close(master_);
}

bool PtyLink::Open(std::string& error) {
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
    error = std::string("cannot create a pseudo-terminal: ") + std::strerror(errno);
    return false;
  }
  char path[256];
  if (ptsname_r(master_, path, sizeof path) != 0) {
    error = std::string("cannot name the pseudo-terminal: ") + std::strerror(errno);
    return false;
  }
  terminalPath_ = path;
  return true;
}

bool PtyLink::MakeLink(const std::string& path, std::string& error) {
  unlink(path.c_str());  // a link left behind by an earlier run
  if (symlink(terminalPath_.c_str(), path.c_str()) != 0) {
    error = "cannot link " + path + ": " + std::strerror(errno);
    return false;
  }
  link_ = path;
  return true;
}

void PtyLink::RemoveLink() {
  if (link_.empty())
    return;
  unlink(link_.c_str());
  link_.clear();
}

bool PtyLink::Wait(int waitUs) {
  pollfd entry{master_, static_cast<short>(POLLIN | (toPc_.empty() ? 0 : POLLOUT)), 0};
  const timespec timeout{waitUs / 1000000, static_cast<long>(waitUs % 1000000) * 1000};
  if (ppoll(&entry, 1, &timeout, nullptr) < 0)
    entry.revents = 0;  // interrupted by a signal
  readable_ = (entry.revents & POLLIN) != 0;
  const bool hangUp = (entry.revents & POLLHUP) != 0;
  // With nobody on the terminal side the master reports a hang-up at once; do not spin.
  if (hangUp && waitUs > 0)
    usleep(static_cast<useconds_t>(waitUs));
  return hangUp;
}

void PtyLink::Exchange(Station& devices, uint32_t now, bool hangUp) {
  if (hangUp) {
    if (pcOpen_) {
      devices.PcClosed(now);
      pcOpen_ = false;
      toPc_.clear();
    }
    devices.AdvanceTo(now);
    return;
  }
  LineSettings settings;
  if (ReadPtyLineSettings(master_, settings) && (!pcOpen_ || !SameSettings(settings, settings_))) {
    // A new opening, or new settings on the open port: the base station hears the new rate.
    devices.PcOpened(settings, now);
    settings_ = settings;
    pcOpen_ = true;
    toPc_.clear();
  }
  if (readable_) {
    uint8_t buffer[4096];
    const ssize_t count = read(master_, buffer, sizeof buffer);
    if (count > 0) {
      devices.FromPc(buffer, static_cast<size_t>(count), now);
    } else if (count < 0 && errno == EIO && pcOpen_) {
      devices.PcClosed(now);
      pcOpen_ = false;
      toPc_.clear();
    }
  }
  devices.AdvanceTo(now);
  if (!pcOpen_)
    return;
  const size_t available = devices.ToPcAvailable(now);
  if (available > 0) {
    const size_t old = toPc_.size();
    toPc_.resize(old + available);
    toPc_.resize(old + devices.ReadToPc(toPc_.data() + old, available, now));
  }
  if (!toPc_.empty()) {
    const ssize_t written = write(master_, toPc_.data(), toPc_.size());
    if (written > 0)
      toPc_.erase(toPc_.begin(), toPc_.begin() + written);
  }
}

}  // namespace sim
