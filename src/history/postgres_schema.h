#pragma once
#include <cstddef>

#include "postgres_connection.h"

namespace history {

// Takes the database to the schema's version `target` (every version this program knows by
// default), one migration per transaction under an advisory lock, so that programs on several
// PCs may start at once. Refuses a database newer than the program.
void MigratePostgres(PgConnection& connection, std::size_t target = 0);

}  // namespace history
