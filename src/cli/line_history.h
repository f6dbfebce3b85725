#pragma once
#include <memory>
#include <string>

#include "console_options.h"
#include "console_output.h"
#include "firmware/firmware_bundle.h"
#include "history/history.h"

// The history a run keeps its claims and records in: --history (an SQLite file or a PostgreSQL
// server, shared with other programs and PCs), else one in memory for this run.
struct LineHistory {
  std::unique_ptr<history::History> history;
  bool shared = false;
  // The SHA-256 of the page image the run sends, to know a module updated with it already.
  std::string imageSha256;
};

// False, and said why (never with a password), when --history cannot be opened.
bool OpenLineHistory(const ConsoleOptions& options, const FirmwareBundle& firmware,
                     ConsoleOutput& output, LineHistory& line);
