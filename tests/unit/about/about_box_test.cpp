#include "ui/about_box.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/control_ids.h"
#include "core/message_box.h"
#include "core/support_contact.h"
#include "recording_controls.h"

namespace {

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = text.find('\n', start);
    if (end == std::string::npos) {
      lines.push_back(text.substr(start));
      return lines;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
}

TEST(AboutBox, OpeningSetsCaptionAndEveryTextExactly) {
  RecordingControls controls;
  CAboutDlg about;
  EXPECT_EQ(about.ResourceId(), 100);
  EXPECT_TRUE(about.OnInitDialog(controls));

  EXPECT_EQ(controls.windowTitle, "About Korvane Quorvanta Module Update");
  const std::vector<std::pair<int, std::string>> expected = {
      {1019, "Korvane Wireless Quorvanta Mobile Module Firmware Update"},
      {1015, "Version 2.0.0.16"},
      {1014, "Released February 8, 2008"},
      {1013, support::kCopyright},
      {1018,
       "This update utility can only be used to update the\n"
       "Korvane Wireless Quorvanta Mobile Module firmware.\n"
       "This update is preformed via a wireless connection."},
  };
  for (const auto& [id, text] : expected) {
    SCOPED_TRACE(id);
    EXPECT_EQ(controls.GetText(id), text);
    EXPECT_EQ(controls.History(id).size(), 1u);
  }
  // The contact block is the host's (a rich edit control), the labels are in the resource.
  EXPECT_TRUE(controls.History(ids::kAboutContactBlock).empty());
  EXPECT_TRUE(controls.History(ids::kAboutContactLabels).empty());
  EXPECT_TRUE(controls.messageBoxes.empty());
}

TEST(AboutBox, OnlyOkAndCancelEndTheBox) {
  struct Case {
    int command;
    bool ends;
  };
  for (const Case c : {Case{mb::kIdOk, true}, Case{mb::kIdCancel, true}, Case{1016, false},
                       Case{1006, false}, Case{0, false}}) {
    SCOPED_TRACE(c.command);
    RecordingControls controls;
    CAboutDlg about;
    about.OnInitDialog(controls);
    about.OnCommand(c.command);
    EXPECT_EQ(controls.ended, c.ends);
    if (c.ends) {
      EXPECT_EQ(controls.endResult, c.command);
    }
  }
}

TEST(AboutBox, ContactBlockHasEightLinesInOrderWithoutFinalLineEnd) {
  const std::string block = CAboutDlg::ContactBlock();
  ASSERT_FALSE(block.empty());
  EXPECT_NE(block.back(), '\n');
  const std::vector<std::string> lines = SplitLines(block);
  const std::vector<std::string> expected = {
      support::kTelephone,     support::kFax,          std::string("mailto:") + support::kEmail,
      support::kWebHost,       support::kOfficeHours,  support::kStreet,
      support::kPostOfficeBox, support::kCityStateZip,
  };
  EXPECT_EQ(lines, expected);
  for (const std::string& line : lines) EXPECT_FALSE(line.empty());
  // Lines 3 and 4 are the only links: the web line has no scheme, the others no mail scheme.
  EXPECT_EQ(lines[3].find("://"), std::string::npos);
}

TEST(AboutBox, LinkTargetFollowsOnlyTheMailAndWebLines) {
  const std::string mail = std::string("mailto:") + support::kEmail;
  struct Case {
    std::string link;
    std::string target;
  };
  const std::vector<Case> cases = {
      {mail, mail + "?Subject=Firmware Update"},
      {support::kWebHost, std::string("http://") + support::kWebHost},
      // The web host is recognised without its top-level domain, wherever it stands.
      {std::string(support::kWebHostWithoutDomain) + ".com/support",
       std::string("http://") + support::kWebHostWithoutDomain + ".com/support"},
      // A mail link wins over the web rule even when it names the web host too.
      {std::string("mailto:info@") + support::kWebHostWithoutDomain + ".example",
       std::string("mailto:info@") + support::kWebHostWithoutDomain +
           ".example?Subject=Firmware Update"},
      {"www.example.com", ""},
      {support::kTelephone, ""},
      {"", ""},
      {"MAILTO:someone@example.com", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.link);
    EXPECT_EQ(CAboutDlg::LinkTarget(c.link), c.target);
  }
}

}  // namespace
