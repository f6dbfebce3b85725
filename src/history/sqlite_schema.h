#pragma once
#include <cstddef>

#include "sqlite_database.h"

namespace history {

// Takes the file to the schema's version `target` (every version this program knows by
// default), one migration per transaction; several programs may open a new file at once.
// Refuses a file newer than the program.
void MigrateSqlite(SqliteDatabase& db, std::size_t target = 0);

}  // namespace history
