// The Linux serial port list: which devices count, and the COM number each one gets.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "dev_serial_port_list.h"
#include "temp_directory.h"

namespace {
class DevPortListTest : public ::testing::Test {
 protected:
  DevPortListTest() {
    std::filesystem::create_directory(root.Path() / "dev");
    std::filesystem::create_directory(root.Path() / "sys");
    devices.devDirectory = root.File("dev");
    devices.sysClassTty = root.File("sys");
  }
  void Device(const std::string& name) { root.Write("dev/" + name, ""); }
  void UartType(const std::string& name, const std::string& type) {
    std::filesystem::create_directory(root.Path() / "sys" / name);
    root.Write("sys/" + name + "/type", type + "\n");
  }
  std::vector<std::string> Listed() {
    DevSerialPortList list(devices);
    std::vector<SerialPortListValue> values;
    EXPECT_TRUE(list.Enumerate(values));
    std::vector<std::string> out;
    for (const auto& v : values) {
      out.push_back(v.data + "=" + std::filesystem::path(v.name).filename().string());
    }
    return out;
  }

  TempDirectory root;
  ComPortDevices devices;
};
}  // namespace

TEST_F(DevPortListTest, FixedNumbering) {
  const std::string dev = devices.devDirectory;
  EXPECT_EQ(devices.DevicePath(1), dev + "/ttyS0");
  EXPECT_EQ(devices.DevicePath(8), dev + "/ttyS7");
  EXPECT_EQ(devices.DevicePath(9), dev + "/ttyUSB0");
  EXPECT_EQ(devices.DevicePath(16), dev + "/ttyUSB7");
  EXPECT_EQ(devices.DevicePath(17), dev + "/ttyACM0");
  EXPECT_EQ(devices.DevicePath(21), dev + "/ttyACM4");
  EXPECT_EQ(devices.DevicePath(0), "");
  EXPECT_EQ(devices.DevicePath(22), "");
  EXPECT_EQ(devices.DevicePath(-2000), "");
}

TEST_F(DevPortListTest, ExistingDevicesAreListedInComOrder) {
  for (const char* name : {"ttyACM1", "ttyUSB0", "ttyS1", "ttyUSB8", "ttyACM5", "ttyS8", "tty0"}) {
    Device(name);
  }
  EXPECT_EQ(Listed(), (std::vector<std::string>{"COM2=ttyS1", "COM9=ttyUSB0", "COM18=ttyACM1"}));
}

TEST_F(DevPortListTest, PlaceholderUartsAreLeftOut) {
  Device("ttyS0");
  Device("ttyS1");
  Device("ttyS2");
  UartType("ttyS0", "4");  // a 16550A
  UartType("ttyS1", "0");  // nothing behind it
  EXPECT_EQ(Listed(), (std::vector<std::string>{"COM1=ttyS0", "COM3=ttyS2"}));
}

TEST_F(DevPortListTest, GivenDevicePathReplacesTheFixedOne) {
  Device("ttyUSB0");
  Device("pts5");
  devices.overrides[9] = root.File("dev/pts5");
  devices.overrides[12] = root.File("dev/missing");
  EXPECT_EQ(devices.DevicePath(9), root.File("dev/pts5"));
  EXPECT_EQ(Listed(), (std::vector<std::string>{"COM9=pts5"}));
}

TEST_F(DevPortListTest, MissingDeviceDirectoryCannotBeRead) {
  devices.devDirectory = root.File("nothing");
  DevSerialPortList list(devices);
  std::vector<SerialPortListValue> values;
  EXPECT_FALSE(list.Enumerate(values));
}

TEST_F(DevPortListTest, NoDevicesIsAnEmptyList) {
  EXPECT_TRUE(Listed().empty());
}

TEST(DevPortListSystem, ListsOnlyNamesThatDiscoveryUnderstands) {
  DevSerialPortList list;
  std::vector<SerialPortListValue> values;
  ASSERT_TRUE(list.Enumerate(values));
  for (const auto& value : values) {
    EXPECT_EQ(value.data.rfind("COM", 0), 0u);
    EXPECT_TRUE(std::filesystem::exists(value.name)) << value.name;
  }
}
