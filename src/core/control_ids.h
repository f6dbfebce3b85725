#pragma once

// Control and resource IDs shared by the dialog logic and the dialog resources.
namespace ids {
// Main update dialog (resource 102).
constexpr int kMainDialog = 102;
constexpr int kOk = 1;
constexpr int kCancel = 2;  // Done
constexpr int kBeginUpdate = 1006;
constexpr int kBootLoaderVersion = 1007;
constexpr int kFirmwareFile = 1008;
constexpr int kFirmwareVersion = 1009;
constexpr int kProgress = 1010;
constexpr int kResult = 1011;
constexpr int kRefreshSerialPorts = 1012;
constexpr int kContactInfo = 1016;
constexpr int kUsageLine = 1017;
constexpr int kSupportGroup = 1020;
constexpr int kInstructions = 1100;
constexpr int kFirstPortButton = 2001;  // COM1
constexpr int kLastPortButton = 2021;   // COM21
constexpr int kPortCount = 21;
constexpr unsigned kAboutCommand = 16;  // system menu item

// About box (resource 100).
constexpr int kAboutDialog = 100;
constexpr int kAboutCopyright = 1013;
constexpr int kAboutRelease = 1014;
constexpr int kAboutVersion = 1015;
constexpr int kAboutContactBlock = 1016;
constexpr int kAboutPurpose = 1018;
constexpr int kAboutProduct = 1019;
constexpr int kAboutContactLabels = 1021;

// Control-parameter dialog (resource 134).
constexpr int kModuleIdDialog = 134;
constexpr int kModuleIdValue = 1023;
constexpr int kModuleInstructions = 1024;
constexpr int kNetworkSerialValue = 1026;
constexpr int kStartUpdate = 1027;
constexpr int kPanIdValue = 1028;
constexpr int kRfChannelValue = 1029;
constexpr int kSetupPrompt = 1030;

constexpr int kIcon = 128;
}  // namespace ids

// Window messages the main dialog accepts from outside.
namespace msg {
constexpr unsigned kStartUpdate = 0x0400 + 102;  // WM_USER+102
constexpr unsigned kCompanion = 0x8000 + 101;    // WM_APP+101
constexpr unsigned kCompanionRelease = 1001;
constexpr unsigned kCompanionTakeBack = 1002;
}  // namespace msg
