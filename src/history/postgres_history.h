#pragma once
#include <memory>
#include <string>

#include "history.h"

namespace history {

// The history on a PostgreSQL server that the stations of several PCs share; leases run by
// the server's clock.
std::unique_ptr<History> OpenPostgresHistory(const std::string& target);

}  // namespace history
