#pragma once
#include <fstream>
#include <functional>
#include <memory>
#include <string>

#include "console_environment.h"
#include "console_options.h"
#include "console_presenter.h"
#include "console_update_report.h"
#include "firmware/firmware_bundle.h"
#include "firmware/page_image_store.h"
#include "link_cut.h"
#include "module_record.h"
#include "module_statistics.h"
#include "observer_fan_out.h"
#include "real_time_events.h"
#include "serial_trace.h"
#include "setup_prompt.h"
#include "sleeping_clock.h"
#include "transfer_watch.h"
#include "update/link_context.h"

// Who a station is: its place in the line, its port and the names it goes by.
struct StationIdentity {
  int number = 1;       // from 1, in the order the ports were given
  int port = 0;         // its COM number
  std::string name;     // "COM21 (/dev/pts/3)", for people
  std::string history;  // its name in the line's history (StationName)
};

// One base station and everything it holds while it runs its modules: the serial channel with
// its trace and the cut of a second Ctrl-C, the clocks, the observers of the update's events,
// the presenter and the Setup report prompt, the page image. Runs on one thread at a time.
class Station {
 public:
  Station(ConsoleEnvironment& environment, const ConsoleOptions& options, SerialBackend& serial,
          ConsoleOutput& output, const FirmwareBundle& firmware, StationIdentity identity);
  ~Station();

  // The trace file (--trace), when one is asked for; false, and said why, when it cannot be
  // written.
  bool OpenTrace(const std::string& path);
  // More observers of the update's events: the event lines, the line's view.
  void Observe(UpdateObserver& observer) { observers_.Add(observer); }
  SetupPrompt& Prompt() { return prompt_; }
  // The firmware file line the terminal shows already.
  void FirmwareLineShown(const std::string& line) { presenter_.SetFirmwareLine(line); }
  const StationIdentity& Identity() const { return identity_; }
  ModuleStatistics& Statistics() { return statistics_; }
  // Whether the user asked to stop (Ctrl-C, SIGTERM, end of input), or cut the serial link.
  bool StopRequested() const { return env_.interrupts.Count() > 0; }
  bool LinkCut() const { return isCut_(); }
  // The fields every record of this station shares: host, port, device, station, firmware.
  ModuleRecord SharedFields() const;

  // One complete update procedure, from the base station search to its restore, and its
  // record. `rememberPort` is told when the module took its firmware.
  ModuleRecord Run(int attempt, const std::function<void()>& rememberPort = {});
  // Writes out what the trace still holds.
  void Flush();

 private:
  // What the console can add to a failure that the dialog's texts do not say.
  std::string FailureDetail(const UpdateResult& result) const;

  ConsoleEnvironment& env_;
  const ConsoleOptions& options_;
  StationIdentity identity_;
  ConsoleOutput& output_;
  std::function<bool()> isCut_;
  HurryingClock hurrying_;
  SleepingClock clock_;
  CuttableSerial cuttable_;
  std::ofstream traceFile_;
  std::unique_ptr<TracingSerial> tracing_;
  std::unique_ptr<TraceNotes> traceNotes_;
  ObserverFanOut observers_;
  RealTimeEvents realTime_;
  SetupPrompt prompt_;
  ConsolePresenter presenter_;
  ConsoleUpdateReport progress_;
  ModuleStatistics statistics_;
  TransferWatch transferWatch_;
  const FirmwareBundle& firmware_;
  PageImageInMemory pageImage_;
  std::unique_ptr<CSerialPort> channel_;
  std::unique_ptr<LinkContext> link_;
};

// The record of one update from its result and what its events showed.
ModuleRecord RecordOf(const ModuleRecord& shared, int attempt, const UpdateResult& result,
                      const ModuleFacts& facts);
