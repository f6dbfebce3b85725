#pragma once
#include "console_environment.h"
#include "console_options.h"
#include "console_presenter.h"
#include "firmware/firmware_bundle.h"

// Where the firmware is looked for: --firmware-dir when given; else the program's own
// directory when the description file lies there (a firmware release beside the program);
// else, where there is no such release beside the program (installed in /usr/bin, say), the
// current directory.
std::string FirmwareDirectory(const ConsoleEnvironment& environment, const ConsoleOptions& options);

// The header, the description file and the HEX file check, printed as an update starts;
// false (and said why, with what to do; `problem` is the message shown) when no update is
// possible.
bool LoadFirmware(ConsoleEnvironment& environment, const ConsoleOptions& options,
                  ConsolePresenter& presenter, FirmwareBundle& firmware, std::string& problem);
