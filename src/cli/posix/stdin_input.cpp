#include "stdin_input.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

bool StdinInput::TakeLine() {
  const std::size_t newline = buffer_.find('\n');
  if (newline == std::string::npos)
    return false;
  buffer_.erase(0, newline + 1);
  return true;
}

ConsoleInput::Event StdinInput::Wait(uint32_t milliseconds) {
  if (TakeLine())
    return Event::kLine;
  if (ended_)
    return Event::kEnd;
  pollfd watched{fd_, POLLIN, 0};
  const int ready = poll(&watched, 1, static_cast<int>(milliseconds));
  if (ready <= 0)
    return Event::kNone;  // time-out, or a signal (Ctrl-C) woke us
  if ((watched.revents & POLLNVAL) != 0) {
    ended_ = true;
    return Event::kEnd;
  }
  char chunk[256];
  const ssize_t count = read(fd_, chunk, sizeof chunk);
  if (count < 0) {
    if (errno == EINTR || errno == EAGAIN)
      return Event::kNone;
    ended_ = true;
    return Event::kEnd;
  }
  if (count == 0) {
    // A last line without a newline still counts as a line before the end.
    ended_ = true;
    if (!buffer_.empty()) {
      buffer_.clear();
      return Event::kLine;
    }
    return Event::kEnd;
  }
  buffer_.append(chunk, static_cast<std::size_t>(count));
  return TakeLine() ? Event::kLine : Event::kNone;
}
