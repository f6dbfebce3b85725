#pragma once
#include "console_environment.h"
#include "console_options.h"
#include "exit_codes.h"

// history: the line supervisor's questions to the history --history names. The attempts that
// match every condition given (--module, --since, --result, --station), newest first, at most
// --limit; or, with --by-station, how many modules each station updated, failed and skipped
// since --since. As a table, CSV or JSON Lines (--format). Exit status 0 when the question was
// answered (also with no attempt found), 2 when the history cannot be opened.
ExitCode RunHistoryCommand(ConsoleEnvironment& environment, const ConsoleOptions& options);
