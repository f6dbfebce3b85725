#pragma once
#include "core/modal_dialog.h"
#include "win32_api.h"
#include "win32_dialog_controls.h"

// Runs the portable modal dialogs (the About box, the control-parameter dialog) as real
// dialog boxes owned by the main dialog's window. Routes WM_INITDIALOG, WM_TIMER, button
// clicks and WM_DESTROY to the portable class and adds each window's own looks: the
// placement, the Setup prompt's font and colour, the About box's contact block and links.
class Win32DialogHost : public DialogHost {
 public:
  Win32DialogHost(HINSTANCE instance, const Win32DialogControls& owner)
      : instance_(instance), owner_(owner) {}

  // The dialog's result, or -1 when the window cannot be created.
  int RunModal(ModalDialog& dialog) override;

 private:
  HINSTANCE instance_;
  const Win32DialogControls& owner_;
};
