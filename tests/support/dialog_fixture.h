#pragma once
#include <memory>
#include <string>

#include "fake_platform.h"
#include "headless_dialog_host.h"
#include "memory_profile.h"
#include "recording_controls.h"
#include "scripted_serial.h"
#include "temp_directory.h"
#include "ui/firmware_update_dlg.h"
#include "virtual_clock.h"

// The main dialog's logic with every seam replaced by its test implementation and a fresh
// program directory. Pass another serial backend (the device simulator) to run updates.
struct DialogFixture {
  explicit DialogFixture(SerialBackend* backend = nullptr)
      : scripted(clock),
        dlg(std::make_unique<CFirmwareUpdateDlg>(
            FirmwareUpdatePlatform{clock, backend ? *backend : scripted, profile, ports, companion,
                                   host},
            controls, "KorvaneQuorvantaUpdate")) {
    dlg->SetProgramDirectory(dir.WithSeparator());
  }

  // The description file naming `hexName`, and the HEX file itself.
  void WriteFirmware(const std::string& hexText, const std::string& version = "2.11",
                     const std::string& hexName = "app.hex") {
    dir.Write("Korvane_Quorvanta_Mobile_Module.txt", version + "\r\n" + hexName + "\r\n");
    dir.Write(hexName, hexText);
  }

  VirtualClock clock;
  ScriptedSerial scripted;
  MemoryProfile profile;
  ScriptedPortList ports;
  RecordingCompanionWindows companion;
  HeadlessDialogHost host{clock};
  RecordingControls controls;
  TempDirectory dir;
  std::unique_ptr<CFirmwareUpdateDlg> dlg;
};
