#include "history.h"

#ifndef _WIN32
#include "connection_target.h"
#include "postgres_history.h"
#include "sqlite_history.h"
#endif

namespace history {

#ifdef _WIN32

// No SQLite or PostgreSQL client library is built for Windows: the Windows program keeps the
// claims of its own stations in memory.
std::unique_ptr<History> OpenHistory(const std::string&) {
  throw HistoryError(
      "SQLite and PostgreSQL histories are not available in the Windows program; without "
      "--history it keeps the history of its own stations in memory");
}

#else

std::unique_ptr<History> OpenHistory(const std::string& target) {
  if (target.empty()) {
    throw HistoryError("no history named: give an SQLite file or a PostgreSQL URL");
  }
  if (IsPostgresTarget(target)) {
    return OpenPostgresHistory(target);
  }
  return OpenSqliteHistory(target);
}

#endif

}  // namespace history
