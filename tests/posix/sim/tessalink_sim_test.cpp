// The standalone simulator behind a real pseudo-terminal, in real time.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "termios_serial.h"  // SetCustomBaudRate: any rate, 14400 included

namespace {

// Runs tessalink-sim with the given options and reads the terminal path it prints first.
class SimProgram {
 public:
  explicit SimProgram(std::vector<std::string> options) {
    int out[2];
    if (pipe(out) != 0)
      return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(out[1], STDOUT_FILENO);
      close(out[0]);
      close(out[1]);
      std::vector<char*> argv{const_cast<char*>(TESSALINK_SIM_PROGRAM)};
      for (auto& option : options) argv.push_back(option.data());
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
    close(out[1]);
    char c;
    pollfd entry{out[0], POLLIN, 0};
    while (poll(&entry, 1, 5000) == 1 && read(out[0], &c, 1) == 1 && c != '\n') path_ += c;
    close(out[0]);
  }
  ~SimProgram() {
    if (pid_ > 0)
      Stop(SIGKILL);
  }
  const std::string& Path() const { return path_; }
  // Sends the signal and returns the exit status (-1 when it did not exit normally).
  int Stop(int signal = SIGTERM) {
    if (pid_ <= 0)
      return -1;
    kill(pid_, signal);
    return Wait();
  }
  int Wait() {
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = 0;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  // True when the program exits by itself within `ms`.
  bool ExitsWithin(int ms, int& status) {
    for (int waited = 0; waited < ms; waited += 20) {
      int raw = 0;
      if (waitpid(pid_, &raw, WNOHANG) == pid_) {
        pid_ = 0;
        status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        return true;
      }
      usleep(20000);
    }
    return false;
  }

 private:
  pid_t pid_ = -1;
  std::string path_;
};

// The PC's end: the terminal opened like a serial port, raw, 8N1, at `baud`.
int OpenTerminal(const std::string& path, unsigned baud) {
  const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (fd < 0)
    return -1;
  termios tio{};
  tcgetattr(fd, &tio);
  cfmakeraw(&tio);
  tio.c_cflag |= CLOCAL | CREAD;
  tcsetattr(fd, TCSANOW, &tio);
  SetCustomBaudRate(fd, baud);
  usleep(100000);  // the simulator notices the new rate on its next turn
  return fd;
}

void Send(int fd, const std::string& bytes) {
  ASSERT_EQ(write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
}

// Reads until `count` bytes came or `ms` passed.
std::string Receive(int fd, size_t count, int ms) {
  std::string data;
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (data.size() < count && std::chrono::steady_clock::now() < end) {
    pollfd entry{fd, POLLIN, 0};
    if (poll(&entry, 1, 20) != 1)
      continue;
    char buffer[512];
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n > 0)
      data.append(buffer, static_cast<size_t>(n));
  }
  return data;
}

const std::string kEsc6(6, '\x1b');
const std::string kIdentification = "\rKV-TSLK-00,2.07\r\n";
const std::string kStoredFrames(
    "\x7E\x00\x06\x08\x52\x49\x44\xD1\xD3\x74\x7E\x00\x05\x08\x52\x43\x48\x0E\x0C"
    "\x7E\x00\x05\x08\x52\x41\x50\x00\x14",
    28);

struct RateCase {
  unsigned simulatorRate;
  unsigned silentRate;
};

TEST(TessalinkSimProgram, AnswersOnlyAtItsRateAndSurvivesReopening) {
  for (const RateCase& c : {RateCase{9600, 19200}, RateCase{14400, 9600}}) {
    SCOPED_TRACE(c.simulatorRate);
    SimProgram sim({"--baud", std::to_string(c.simulatorRate), "--setup-after", "off"});
    ASSERT_FALSE(sim.Path().empty());
    for (unsigned rate : {c.simulatorRate, c.silentRate, c.simulatorRate}) {
      const int fd = OpenTerminal(sim.Path(), rate);
      ASSERT_GE(fd, 0);
      Send(fd, kEsc6 + "<V");
      const std::string reply = Receive(fd, 18, rate == c.simulatorRate ? 3000 : 700);
      EXPECT_EQ(reply, rate == c.simulatorRate ? kIdentification : "") << rate;
      close(fd);
    }
    EXPECT_EQ(sim.Stop(), 0);
  }
}

TEST(TessalinkSimProgram, RadioCommandsAndRelay) {
  SimProgram sim({"--setup-after", "off"});
  const int fd = OpenTerminal(sim.Path(), 9600);
  ASSERT_GE(fd, 0);
  Send(fd, "<@:ISH");
  EXPECT_EQ(Receive(fd, 13, 3000),
            std::string("\x7E\x00\x09\x88\x01SH\x00\x00\xA2\xB3\xC4\xC2", 13));
  Send(fd, "<RP" + kStoredFrames);
  EXPECT_EQ(Receive(fd, 27, 3000), std::string("\x7E\x00\x05\x88\x52ID\x00\x98\x7E\x00\x05\x88\x52"
                                               "CH\x00\x9A"
                                               "\x7E\x00\x05\x88\x52"
                                               "AP\x00\x94",
                                               27));
  close(fd);
  EXPECT_EQ(sim.Stop(SIGINT), 0);
}

TEST(TessalinkSimProgram, WritesTheImageAndExitsAfterTheUpdate) {
  char directory[] = "/tmp/tessalink-sim-test-XXXXXX";
  ASSERT_NE(mkdtemp(directory), nullptr);
  const std::string link = std::string(directory) + "/port";
  const std::string imagePath = std::string(directory) + "/image.bin";
  SimProgram sim({"--scenario", "bootloader-running", "--image-out", imagePath, "--link", link,
                  "--exit-after-update"});
  char target[256] = {};
  ASSERT_GT(readlink(link.c_str(), target, sizeof target - 1), 0);
  EXPECT_EQ(sim.Path(), target);

  const int fd = OpenTerminal(link, 9600);
  ASSERT_GE(fd, 0);
  Send(fd, "<RP" + kStoredFrames);
  Receive(fd, 27, 2000);
  Send(fd, "\xC0");
  EXPECT_EQ(Receive(fd, 1, 2000), "\xD0");
  Send(fd, "#$%-QMM-2.11-644");
  EXPECT_EQ(Receive(fd, 14, 2000), "QMM-2.11-644\r!");
  std::string page(256, '\0');
  for (size_t i = 0; i < page.size(); ++i) page[i] = static_cast<char>(i);
  Send(fd, std::string(2, '\0') + page + '\x80');  // 0 + 1 + ... + 255 = 0x7F80
  EXPECT_EQ(Receive(fd, 1, 2000), "!");
  Send(fd, "\xFF\xFF");
  usleep(300000);
  Send(fd, kEsc6 + "<W");
  close(fd);

  int status = -1;
  ASSERT_TRUE(sim.ExitsWithin(3000, status));
  EXPECT_EQ(status, 0);
  std::ifstream image(imagePath, std::ios::binary);
  const std::string written((std::istreambuf_iterator<char>(image)), {});
  EXPECT_EQ(written, page);
  struct stat info {};
  EXPECT_NE(lstat(link.c_str(), &info), 0);  // the link is gone
  std::remove(imagePath.c_str());
  rmdir(directory);
}

}  // namespace
