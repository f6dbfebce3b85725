#include "ui/about_box.h"

#include "core/control_ids.h"
#include "core/device_names.h"
#include "core/message_box.h"
#include "core/support_contact.h"
#include "program_version.h"

namespace {
constexpr const char kProductName[] = "Korvane Wireless Quorvanta Mobile Module";
constexpr const char kVersion[] = PROGRAM_VERSION;
constexpr const char kReleaseDate[] = "February 8, 2008";
constexpr const char kMailtoScheme[] = "mailto:";
constexpr const char kMailSubject[] = "?Subject=Firmware Update";
constexpr const char kWebScheme[] = "http://";
}  // namespace

int CAboutDlg::ResourceId() const {
  return ids::kAboutDialog;
}

bool CAboutDlg::OnInitDialog(DialogControls& controls) {
  controls_ = &controls;
  controls.SetWindowTitle(Caption());
  for (const ControlText& item : ControlTexts()) controls.SetText(item.id, item.text);
  return true;
}

void CAboutDlg::OnCommand(int id) {
  if (controls_ != nullptr && (id == ids::kOk || id == ids::kCancel))
    controls_->EndDialog(id);
}

std::string CAboutDlg::Caption() {
  return std::string("About ") + device_names::kModule + " Update";
}

std::vector<CAboutDlg::ControlText> CAboutDlg::ControlTexts() {
  return {
      {ids::kAboutProduct, std::string(kProductName) + " Firmware Update"},
      {ids::kAboutVersion, std::string("Version ") + kVersion},
      {ids::kAboutRelease, std::string("Released ") + kReleaseDate},
      {ids::kAboutCopyright, support::kCopyright},
      {ids::kAboutPurpose, std::string("This update utility can only be used to update the\n") +
                               kProductName + " firmware.\n" +
                               "This update is preformed via a wireless connection."},
  };
}

std::string CAboutDlg::ContactBlock() {
  return std::string(support::kTelephone) + "\n" + support::kFax + "\n" + kMailtoScheme +
         support::kEmail + "\n" + support::kWebHost + "\n" + support::kOfficeHours + "\n" +
         support::kStreet + "\n" + support::kPostOfficeBox + "\n" + support::kCityStateZip;
}

std::string CAboutDlg::LinkTarget(const std::string& linkText) {
  if (linkText.find(kMailtoScheme) != std::string::npos)
    return linkText + kMailSubject;
  if (linkText.find(support::kWebHostWithoutDomain) != std::string::npos) {
    return kWebScheme + linkText;
  }
  return {};
}
