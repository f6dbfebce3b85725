// A device that disappears in the middle of an update, on the real serial backend: the
// pseudo-terminal's master is closed (as a USB adapter pulled out) while the boot loader
// transfer runs. The update must fail with its report and its restore path, and return once
// its time-out has run out, not hang or spin on.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "core/control_ids.h"
#include "core/message_box.h"
#include "fake_platform.h"
#include "headless_dialog_host.h"
#include "hex_records.h"
#include "memory_profile.h"
#include "posix_clock.h"
#include "recording_controls.h"
#include "temp_directory.h"
#include "termios_serial.h"
#include "ui/firmware_update_dlg.h"
#include "update/update_texts.h"

namespace {

using Clock = std::chrono::steady_clock;

// The base station and a module already waiting in its boot loader, on the master side of a
// pseudo-terminal. It answers the identification and both polls. With `pagesAccepted` below 0
// it closes the master as the version request comes in; otherwise it answers that, accepts
// `pagesAccepted` pages and closes the master once `bytesBeforeGone` bytes of the next frame
// have come in.
class VanishingDevice {
 public:
  VanishingDevice(int pagesAccepted, std::size_t bytesBeforeGone)
      : pagesAccepted_(pagesAccepted), bytesBeforeGone_(bytesBeforeGone) {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    grantpt(master_);
    unlockpt(master_);
    slave_ = ptsname(master_);
    thread_ = std::thread([this] { Run(); });
  }
  ~VanishingDevice() {
    stop_ = true;
    thread_.join();
    if (master_ >= 0)
      close(master_);
  }
  const std::string& SlavePath() const { return slave_; }
  bool Gone() const { return gone_; }
  Clock::time_point GoneAt() const { return goneAt_; }
  const std::string& Received() const { return received_; }

 private:
  void Answer(const std::string& bytes) {
    if (write(master_, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
      ADD_FAILURE() << "the device could not answer";
  }
  bool Heard(const std::string& request) {
    const std::size_t at = pending_.find(request);
    if (at == std::string::npos)
      return false;
    pending_.erase(0, at + request.size());
    return true;
  }
  void Vanish() {
    close(master_);
    master_ = -1;
    goneAt_ = Clock::now();
    gone_ = true;
  }
  void Run() {
    bool transfer = false;
    int framesAccepted = 0;
    while (!stop_ && !gone_) {
      pollfd p{master_, POLLIN, 0};
      if (poll(&p, 1, 20) <= 0 || !(p.revents & POLLIN))
        continue;
      char buffer[512];
      const ssize_t n = read(master_, buffer, sizeof buffer);
      if (n <= 0)
        continue;  // nobody on the other side yet
      received_.append(buffer, static_cast<std::size_t>(n));
      pending_.append(buffer, static_cast<std::size_t>(n));
      if (!transfer) {
        if (Heard("<V"))
          Answer("\rKV-TSLK-00,2.07\r\n");
        while (Heard("\xC0")) Answer("\xD0");
        if (Heard("#$%-QMM-2.11-644")) {
          if (pagesAccepted_ < 0)
            Vanish();
          else
            Answer("QMM-2.11-644\r!");
          transfer = true;
        }
        continue;
      }
      while (framesAccepted < pagesAccepted_ && pending_.size() >= 259) {
        pending_.erase(0, 259);
        ++framesAccepted;
        Answer("!");
      }
      if (framesAccepted == pagesAccepted_ && pending_.size() >= bytesBeforeGone_)
        Vanish();
    }
  }

  int pagesAccepted_;
  std::size_t bytesBeforeGone_;
  int master_ = -1;
  std::string slave_;
  std::string received_;
  std::string pending_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> gone_{false};
  Clock::time_point goneAt_;
  std::thread thread_;
};

struct DeviceGoneCase {
  const char* name;
  int pagesAccepted;
  std::size_t bytesBeforeGone;
};

class DeviceGone : public ::testing::TestWithParam<DeviceGoneCase> {};

TEST_P(DeviceGone, FailsWithTheRestorePathWithinTheTimeOut) {
  const DeviceGoneCase& c = GetParam();
  VanishingDevice device(c.pagesAccepted, c.bytesBeforeGone);
  TempDirectory dir;
  std::string hex;
  for (unsigned address = 0; address < 4 * 256; address += 16)
    hex += HexRecord(address, std::vector<uint8_t>(16, static_cast<uint8_t>(address >> 4))) + "\n";
  dir.Write("Korvane_Quorvanta_Mobile_Module.txt", "2.11\napp.hex\n");
  dir.Write("app.hex", hex + HexEndOfFile() + "\n");

  MonotonicClock clock;
  TermiosSerial serial([&](int com) { return com == 5 ? device.SlavePath() : std::string(); });
  MemoryProfile profile;
  ScriptedPortList ports;
  ports.SetPorts({"COM5"});
  RecordingCompanionWindows companion;
  VirtualClock unusedDialogClock;
  HeadlessDialogHost dialogs(unusedDialogClock);  // a waiting boot loader needs no dialog
  RecordingControls controls;
  CFirmwareUpdateDlg dlg({clock, serial, profile, ports, companion, dialogs}, controls,
                         "KorvaneQuorvantaUpdate");
  dlg.SetProgramDirectory(dir.WithSeparator());
  dlg.OnInitDialog();
  ASSERT_TRUE(controls.IsChecked(ids::kFirstPortButton + 4));

  dlg.OnBeginUpdate();
  const Clock::time_point returned = Clock::now();

  ASSERT_TRUE(device.Gone()) << "the transfer never reached the vanishing point";
  EXPECT_EQ(dialogs.runs, 0);
  ASSERT_EQ(controls.messageBoxes.size(), 1u);
  const std::string expected = std::string(update_texts::kNoResponse) + "Korvane Quorvanta Module" +
                               update_texts::kReasonEnd;
  EXPECT_EQ(controls.messageBoxes[0].text.substr(0, expected.size() + 2), expected + "\n\n");
  EXPECT_EQ(controls.messageBoxes[0].flags, mb::kIconExclamation);
  EXPECT_EQ(controls.GetText(ids::kResult), update_texts::kFailedStatus);
  EXPECT_EQ(dlg.LastOutcome(), UpdateOutcome::kTransferFailed);
  EXPECT_FALSE(dlg.SerialPort().IsOpen());
  EXPECT_FALSE(dir.Exists("Hex.tmp"));
  EXPECT_EQ(profile.writes, 0);
  EXPECT_EQ(controls.waitCursorDepth, 0);

  // The reply's time-out (3000 ms), then two 500 ms pauses around the restore that cannot
  // reach the device any more, and some slack for a busy machine.
  const auto afterGone =
      std::chrono::duration_cast<std::chrono::milliseconds>(returned - device.GoneAt()).count();
  EXPECT_GE(afterGone, 3000);
  EXPECT_LT(afterGone, 3000 + 1000 + 2000);
  // Nothing after the vanishing point reached the device, not even the end mark.
  EXPECT_EQ(device.Received().find("\xFF\xFF"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DeviceGone,
    ::testing::Values(DeviceGoneCase{"awaiting_the_third_page_reply", 2, 259},
                      DeviceGoneCase{"awaiting_the_boot_loader_identification", -1, 0}),
    [](const ::testing::TestParamInfo<DeviceGoneCase>& info) { return info.param.name; });

}  // namespace
