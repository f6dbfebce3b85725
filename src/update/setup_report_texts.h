#pragma once

// Texts of the Setup report prompt ("&&" shows as one ampersand) and the labels of the
// report's lines.
namespace setup_report_texts {
constexpr const char kInstructions[] =
    "The Quorvanta Mobile Module must be in the Setup mode to update the firmware.\n"
    "To put the Mobile module into the Setup mode, follow the steps below.\n"
    "   - Press && hold the Setup button (button closest to the gage cable).\n"
    "   - Press && release the Read button on the Mobile Module.\n"
    "   - Release the Setup button once the LEDs start to flash.\n"
    "   - The LEDs will flash 5 times to indicate the Setup mode has been entered.\n"
    "\n"
    "The Mobile Module LEDs will quickly flash every .3 seconds while the module is in the Setup "
    "mode.  "
    "The Mobile Module will automatically exit the Setup mode and turn off after 20 seconds of "
    "inactivity.\n"
    "\n"
    "Press && release the Setup button to get the Mobile Module control parameters.";
constexpr const char kPrompt[] = "Press && release the Setup button on Mobile Module.";

constexpr int kLabelLength = 26;
constexpr const char kModuleIdLabel[] = "  Module ID.............  ";
constexpr const char kNetworkSerialLabel[] = "  Network S/N...........  ";
constexpr const char kPanIdLabel[] = "  PAN ID................  ";
constexpr const char kRfChannelLabel[] = "  RF Channel............  ";
}  // namespace setup_report_texts
