#pragma once
#include <string>
#include <vector>

// What a history target names, and the passwords it may carry: a PostgreSQL URL or connection
// string holds one, and no text the history shows may.
namespace history {

// "postgresql://..." or "postgres://...", or a libpq keyword string ("host=... dbname=...":
// it begins with a keyword and "="); anything else is the path of an SQLite file.
bool IsPostgresTarget(const std::string& target);

// Every password the target and the environment (PGPASSWORD) hold, as written and
// percent-decoded, found even in a target that libpq cannot read.
std::vector<std::string> PasswordsOf(const std::string& target);

// The text with every occurrence of each secret replaced by "***".
std::string Redact(std::string text, const std::vector<std::string>& secrets);

}  // namespace history
