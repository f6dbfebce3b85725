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

void PtyLink::Vanish(Station& station, uint32_t now) {
  Closed(station, now);
  if (!link_.empty())
    unlink(link_.c_str());
  if (master_ >= 0)
    close(master_);
  master_ = -1;
  hungUp_ = true;
}

bool PtyLink::Reopen(std::string& error) {
  if (!Open(error))
    return false;
  if (link_.empty())
    return true;
  const std::string link = link_;
  return MakeLink(link, error);
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

pollfd PtyLink::PollEntry() const {
  const bool watch = master_ >= 0 && !hungUp_;
  return pollfd{watch ? master_ : -1, static_cast<short>(POLLIN | (toPc_.empty() ? 0 : POLLOUT)),
                0};
}

void PtyLink::Closed(Station& station, uint32_t now) {
  if (pcOpen_) {
    station.PcClosed(now);
    pcOpen_ = false;
    toPc_.clear();
  }
}

void PtyLink::Exchange(Station& station, uint32_t now, short revents) {
  if (master_ < 0) {
    station.AdvanceTo(now);
    return;
  }
  if (hungUp_) {
    pollfd entry{master_, POLLIN, 0};
    revents = poll(&entry, 1, 0) > 0 ? entry.revents : 0;
  }
  const bool readable = (revents & POLLIN) != 0;
  const bool hangUp = (revents & POLLHUP) != 0;
  LineSettings settings;
  if (!hangUp && ReadPtyLineSettings(master_, settings) &&
      (!pcOpen_ || !SameSettings(settings, settings_))) {
    // A new opening, or new settings on the open port: the base station hears the new rate.
    station.PcOpened(settings, now);
    settings_ = settings;
    pcOpen_ = true;
    toPc_.clear();
  }
  // What the PC wrote before it closed the port reached the base station all the same: read
  // before the hang-up is taken, or it would wait in the terminal for the PC's next opening.
  if (readable && pcOpen_) {
    uint8_t buffer[4096];
    const ssize_t count = read(master_, buffer, sizeof buffer);
    if (count > 0) {
      station.FromPc(buffer, static_cast<size_t>(count), now);
    } else if (count < 0 && errno == EIO) {
      Closed(station, now);
    }
  }
  hungUp_ = hangUp;
  if (hungUp_) {
    Closed(station, now);
    station.AdvanceTo(now);
    return;
  }
  station.AdvanceTo(now);
  if (!pcOpen_)
    return;
  const size_t available = station.ToPcAvailable(now);
  if (available > 0) {
    const size_t old = toPc_.size();
    toPc_.resize(old + available);
    toPc_.resize(old + station.ReadToPc(toPc_.data() + old, available, now));
  }
  if (!toPc_.empty()) {
    const ssize_t written = write(master_, toPc_.data(), toPc_.size());
    if (written > 0)
      toPc_.erase(toPc_.begin(), toPc_.begin() + written);
  }
}

}  // namespace sim
