#pragma once
#include <vector>

#include "console_environment.h"
#include "console_options.h"
#include "exit_codes.h"

// The update: the firmware, the port (`port`, 1 to 21, or 0 for the saved or lowest one), the
// Setup report prompt and the transfer; the exit status tells how it ended. With --repeat or
// --count, one module after another (production_loop.h).
ExitCode RunUpdateCommand(ConsoleEnvironment& environment, const ConsoleOptions& options, int port);

// check: the description file and the HEX file, as an update would check and convert them,
// without a port; writes the page image to options.imageFile when given.
ExitCode RunCheckCommand(ConsoleEnvironment& environment, const ConsoleOptions& options);

// --list-ports: the COM ports the system lists, the saved one marked.
ExitCode RunListPortsCommand(ConsoleEnvironment& environment);

// serve: the line's dashboard, a web page over the history, until Ctrl-C or SIGTERM.
ExitCode RunServeCommand(ConsoleEnvironment& environment, const ConsoleOptions& options);

// A line of several base stations (several --port): each runs its modules on a thread of its
// own; every module updated once, over the stations and the history (line_command.cpp).
ExitCode RunLineCommand(ConsoleEnvironment& environment, const ConsoleOptions& options,
                        const std::vector<int>& ports);

// The command the options name: update (one port, none for the saved or lowest one, or a line
// of several), check, list the ports, or serve.
ExitCode RunConsoleCommand(ConsoleEnvironment& environment, const ConsoleOptions& options,
                           const std::vector<int>& ports);
