#pragma once
#include <string>
#include <vector>

#include "core/modal_dialog.h"

// The About box (resource 100): which product and version this is and how to reach the
// maker's support. The window host places it, fills the contact block (a rich edit control
// with automatic link detection) from ContactBlock() and opens what LinkTarget() returns when
// a link is clicked.
class CAboutDlg : public ModalDialog {
 public:
  struct ControlText {
    int id;
    std::string text;
  };

  int ResourceId() const override;
  bool OnInitDialog(DialogControls& controls) override;
  // OK, Escape and the window's Close end the box.
  void OnCommand(int id) override;

  static std::string Caption();
  // The texts the box sets when it opens, by control ID.
  static std::vector<ControlText> ControlTexts();
  // The eight lines of the contact block, each ending in a line feed except the last.
  static std::string ContactBlock();
  // What a click on a link of the contact block opens: the e-mail link with the subject
  // added, the web link with a scheme, anything else nothing (empty).
  static std::string LinkTarget(const std::string& linkText);

 private:
  DialogControls* controls_ = nullptr;
};
