#include "file_profile.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "temp_directory.h"

namespace {

TEST(FileProfile, MissingEntryReadsAsDefaultAndWrittenValueReadsBack) {
  TempDirectory dir;
  FileProfile profile(dir.File("nested/app/profile.ini"));
  EXPECT_EQ(profile.GetInt("Settings", "ComPort", -1), -1);
  ASSERT_TRUE(profile.WriteInt("Settings", "ComPort", 3));
  EXPECT_EQ(profile.GetInt("Settings", "ComPort", -1), 3);
  ASSERT_TRUE(profile.WriteInt("Settings", "ComPort", 12));
  EXPECT_EQ(profile.GetInt("Settings", "ComPort", -1), 12);
  EXPECT_EQ(dir.Read("nested/app/profile.ini"), "[Settings]\nComPort=12\n");
}

TEST(FileProfile, KeepsOtherSectionsAndEntries) {
  TempDirectory dir;
  dir.Write("profile.ini", "[Other]\nComPort=7\n[Settings]\nSpeed=2\n\n[Last]\nX=1\n");
  FileProfile profile(dir.File("profile.ini"));
  ASSERT_TRUE(profile.WriteInt("Settings", "ComPort", 4));
  EXPECT_EQ(profile.GetInt("Settings", "ComPort", -1), 4);
  EXPECT_EQ(profile.GetInt("Other", "ComPort", -1), 7);
  EXPECT_EQ(profile.GetInt("Settings", "Speed", -1), 2);
  EXPECT_EQ(profile.GetInt("Last", "X", -1), 1);
  EXPECT_FALSE(dir.Exists("profile.ini.new"));
}

TEST(FileProfile, UnreadableValueReadsAsDefault) {
  TempDirectory dir;
  dir.Write("profile.ini", "[Settings]\nComPort=COM3\n");
  FileProfile profile(dir.File("profile.ini"));
  EXPECT_EQ(profile.GetInt("Settings", "ComPort", -1), -1);
}

TEST(FileProfile, DefaultPathFollowsTheConfigDirectory) {
  setenv("XDG_CONFIG_HOME", "/tmp/cfg", 1);
  EXPECT_EQ(FileProfile::DefaultPath("Halvenmoor Systems", "App"),
            "/tmp/cfg/Halvenmoor Systems/App/profile.ini");
  unsetenv("XDG_CONFIG_HOME");
  setenv("HOME", "/home/tech", 1);
  EXPECT_EQ(FileProfile::DefaultPath("Halvenmoor Systems", "App"),
            "/home/tech/.config/Halvenmoor Systems/App/profile.ini");
}

}  // namespace
