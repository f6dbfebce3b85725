#pragma once
#include <string>

// The version a database's schema has and this program's, shared by every database.
namespace history {

// Throws HistoryError when `found` is newer than the program knows.
void RefuseNewerSchema(const std::string& description, long long found, std::size_t known);

}  // namespace history
