#pragma once
#include <memory>
#include <string>

#include "history.h"

namespace history {

// The history in an SQLite file that the programs of one PC share (a local file system:
// WAL needs memory shared between the programs).
std::unique_ptr<History> OpenSqliteHistory(const std::string& path);

}  // namespace history
