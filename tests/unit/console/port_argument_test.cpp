#include "port_argument.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "com_port_name.h"
#include "stdin_input.h"
#include "temp_directory.h"

namespace {
TEST(PortArgument, ComNamesInAnyCaseFromOneToTwentyOne) {
  const std::pair<const char*, int> cases[] = {
      {"COM1", 1},  {"com21", 21}, {"Com7", 7}, {"COM007", 7}, {"COM0", 0},
      {"COM22", 0}, {"COM", 0},    {"COMx", 0}, {"COM1a", 0},  {"COM99999", 0},
  };
  for (const auto& [text, expected] : cases) {
    ComPortDevices devices;
    std::string error;
    EXPECT_EQ(ResolvePortArgument(text, devices, error), expected) << text;
    EXPECT_EQ(error.empty(), expected != 0) << text << ": " << error;
    EXPECT_TRUE(devices.overrides.empty());
  }
}

// A /dev of our own: COM9 (ttyUSB0) and COM17 (ttyACM0) exist, plus a pseudo-terminal and a
// link to the USB adapter.
struct FakeDev {
  FakeDev() {
    devices.devDirectory = dev.Path().string();
    devices.sysClassTty = dev.File("sys");
    for (const char* name : {"ttyUSB0", "ttyACM0", "pts4"}) dev.Write(name, "");
    std::filesystem::create_symlink(dev.File("ttyUSB0"), dev.File("adapter"));
  }
  TempDirectory dev;
  ComPortDevices devices;
};

TEST(PortArgument, AKnownDeviceKeepsItsOwnNumberEvenThroughALink) {
  FakeDev f;
  std::string error;
  EXPECT_EQ(ResolvePortArgument(f.dev.File("ttyACM0"), f.devices, error), 17);
  EXPECT_EQ(ResolvePortArgument(f.dev.File("adapter"), f.devices, error), 9);
  EXPECT_TRUE(f.devices.overrides.empty());
  EXPECT_EQ(error, "");
}

TEST(PortArgument, AnyOtherDeviceTakesTheHighestFreeNumber) {
  FakeDev f;
  f.dev.Write("ttyACM4", "");  // COM21 exists, so the pseudo-terminal gets COM20
  std::string error;
  EXPECT_EQ(ResolvePortArgument(f.dev.File("pts4"), f.devices, error), 20);
  EXPECT_EQ(f.devices.DevicePath(20), f.dev.File("pts4"));
  f.dev.Write("pts5", "");
  EXPECT_EQ(ResolvePortArgument(f.dev.File("pts5"), f.devices, error), 19);
  EXPECT_EQ(error, "");
}

// A device path that is not there is no mistake on the command line: it gets a number, and
// opening it says why it failed (exit status 4, as for every port that cannot be opened).
TEST(PortArgument, AMissingDeviceGetsANumberAndFailsOnlyWhenOpened) {
  FakeDev f;
  std::string error;
  EXPECT_EQ(ResolvePortArgument(f.dev.File("ttyUSB7x"), f.devices, error), 21);
  EXPECT_EQ(error, "");
  EXPECT_EQ(ResolvePortArgument("ttyUSB7", f.devices, error), 0) << "neither COMn nor a path";
  EXPECT_NE(error.find("give COM1 to COM21"), std::string::npos);
}

// A line with one base station named twice (again, by its COM number or through a link) would
// have two stations fight over one port: the command line is refused.
TEST(PortArgument, OnePortGivenTwiceIsRefused) {
  FakeDev f;
  std::filesystem::create_symlink(f.dev.File("pts4"), f.dev.File("station-1"));
  const std::vector<std::string> texts = {f.dev.File("pts4"), "COM9", f.dev.File("station-1"),
                                          f.dev.File("adapter")};
  std::vector<int> ports;
  std::string error;
  for (const std::string& text : texts)
    ports.push_back(ResolvePortArgument(text, f.devices, error));
  EXPECT_EQ(ports, (std::vector<int>{21, 9, 21, 9}));
  EXPECT_EQ(RepeatedPortError({texts[0], texts[1]}, {ports[0], ports[1]}), "");
  EXPECT_EQ(RepeatedPortError(texts, ports), "--port " + texts[2] + ": the same port as --port " +
                                                 texts[0] + "; give each base station's port once");
}

TEST(StdinInput, LinesThenTheEndWhichStays) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  StdinInput input(fds[0]);
  EXPECT_EQ(input.Wait(0), ConsoleInput::Event::kNone);
  ASSERT_EQ(write(fds[1], "\nyes\npartial", 12), 12);
  EXPECT_EQ(input.Wait(100), ConsoleInput::Event::kLine);
  EXPECT_EQ(input.Wait(100), ConsoleInput::Event::kLine);
  EXPECT_EQ(input.Wait(0), ConsoleInput::Event::kNone);
  close(fds[1]);
  // A last line without its line feed still counts, then the input has ended for good.
  EXPECT_EQ(input.Wait(100), ConsoleInput::Event::kLine);
  EXPECT_EQ(input.Wait(100), ConsoleInput::Event::kEnd);
  EXPECT_EQ(input.Wait(100), ConsoleInput::Event::kEnd);
  close(fds[0]);
}
}  // namespace
