#pragma once
#include "core/dialog_controls.h"

// The portable behaviour of a modal dialog. A host creates the window from `ResourceId()`,
// calls OnInitDialog with the controls of that window, routes timer ticks and commands, and
// returns the result given to DialogControls::EndDialog.
class ModalDialog {
 public:
  virtual ~ModalDialog() = default;
  virtual int ResourceId() const = 0;
  virtual bool OnInitDialog(DialogControls& controls) = 0;
  virtual void OnTimer(unsigned /*id*/) {}
  // Button clicks, and IDOK / IDCANCEL for Enter and Escape or the window's Close.
  virtual void OnCommand(int id) = 0;
  virtual void OnDestroy() {}
};

// Runs nested modal dialogs for the main dialog (the control-parameter dialog).
class DialogHost {
 public:
  virtual ~DialogHost() = default;
  virtual int RunModal(ModalDialog& dialog) = 0;
};
