#pragma once
#include <cstdint>
#include <iterator>
#include <span>
#include <string>
#include <vector>

#include "core/clock.h"
#include "core/dialog_controls.h"
#include "core/modal_dialog.h"
#include "core/profile_store.h"
#include "serial/serial_port.h"
#include "update/link_protocol.h"
#include "update/update_events.h"

// A firmware step the host ran for the update: whether it passed and, when not, the message
// the user was shown.
struct FirmwareStep {
  bool passed = false;
  std::string message;
  // BuildPageImage: the image written, valid until the next build.
  std::span<const uint8_t> image;
  explicit operator bool() const { return passed; }
};

// What the update needs from the dialog that runs it (the main update dialog).
class UpdateHost {
 public:
  virtual ~UpdateHost() = default;
  // The HEX file check; shows the firmware file line, and its own failure.
  virtual FirmwareStep CheckFirmwareFile() = 0;
  // "Hex.tmp" from the HEX file; shows its own failure.
  virtual FirmwareStep BuildPageImage() = 0;
  // The buttons of the ports that exist enabled, the others disabled.
  virtual void EnablePortButtons() = 0;
  // Asks the companion serial test program to let go of the port; ReturnPort gives it back.
  virtual void BorrowPort(int port) = 0;
  virtual void ReturnPort() = 0;
};

struct UpdateOptions {
  // The rates tried, in order, when looking for the base station. The dialog keeps all six;
  // a console may restrict the search to the one rate it knows.
  std::vector<uint32_t> baudRates{std::begin(protocol::kBaudRates), std::end(protocol::kBaudRates)};
};

// Everything one update works with, lent by its host for the run.
struct UpdateContext {
  CSerialPort& port;
  Clock& clock;
  DialogHost& dialogs;
  ProfileStore& profile;
  // The main dialog's: port buttons, status lines, message boxes, wait cursor.
  DialogControls& controls;
  UpdateHost& host;
  UpdateObserver& observer;
  std::string pageImagePath;
  UpdateOptions options;

  uint32_t Now() const { return clock.TickCount(); }
  void Delay(uint32_t milliseconds) const { BusyWait(clock, milliseconds); }
  void Emit(const UpdateEvent& event) const { observer.OnUpdateEvent(event); }
};
