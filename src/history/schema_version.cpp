#include "schema_version.h"

#include "history.h"

namespace history {

void RefuseNewerSchema(const std::string& description, long long found, std::size_t known) {
  if (found > static_cast<long long>(known)) {
    throw HistoryError(description + ": its schema is version " + std::to_string(found) +
                       ", newer than version " + std::to_string(known) +
                       " that this program knows; use the newer program that wrote it");
  }
}

}  // namespace history
