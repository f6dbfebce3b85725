#pragma once

// Texts of the main update dialog, kept byte for byte.
namespace main_texts {
constexpr const char kWindowTitle[] = "Korvane Quorvanta Module Firmware Update";
constexpr const char kAboutMenuItem[] = "About Korvane Quorvanta Module Update...";
constexpr const char kCompanionTitlePrefix[] = "Halvenmoor Serial Test Program";
constexpr const char kNoSerialPorts[] =
    "There are no serial ports installed on this computer.     ";
constexpr const char kInstructions[] =
    "- The Korvane Quorvanta Mobile Module is updated using a Korvane Tessalink configured as a "
    "Base unit.\n"
    "- Connect the Korvane Tessalink to a serial port on your PC.\n"
    "- Select the appropriate serial port (COM1 to COM21).\n"
    "- Press the Begin Update button below.\n"
    "- After the Korvane Mobile Module Update dialog appears wait for a few seconds before the "
    "next step.\n"
    "- Put the Quorvanta Mobile Module into the Setup mode.\n"
    "- Press the Setup button on the Quorvanta Mobile Module to get the control parameters.\n"
    "- Press the Start Update button.\n"
    "- Monitor the Firmware Update Status information.\n"
    "- A message box will indicate the success of the update.\n";
}  // namespace main_texts
