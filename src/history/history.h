#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

// The line's one history: every module attempt of every station, the claims that keep a
// module on one station at a time, and each station's live state. The same interface over
// SQLite (the stations of one PC share a file), PostgreSQL (the stations of several PCs share
// a server) and memory (one program without --history). Every implementation may be called
// from several threads at once.
namespace history {

// Milliseconds since 1970-01-01 00:00 UTC.
using EpochMs = int64_t;

// Thrown for anything the history cannot do; the text names the history (never a password)
// and the reason.
class HistoryError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One module attempt: the record the report file keeps, with the fields the questions of a
// line supervisor need as columns of their own.
struct Attempt {
  std::string station;  // the station's key: "<host>:<port>"
  std::string host;
  std::string port;  // "COM3", or the device path
  EpochMs startMs = 0;
  int64_t durationMs = 0;
  std::optional<std::string> moduleId;  // none when no Setup report named the module
  std::string result;                   // "success", "skipped", "cancelled", "transfer_failed", ...
  int exitCode = 0;
  std::string message;
  std::optional<std::string> imageSha256;  // of the page image sent (hexadecimal)
  std::string firmwareVersion;
  int pagesAccepted = 0;
  int frames = 0;
  int resends = 0;
  std::optional<double> roundTripMedianMs;
  std::optional<double> roundTripWorstMs;
  std::string recordJson;  // the whole record, exactly as the report file has it
};

enum class ClaimVerdict {
  kGranted,         // the module is this station's until it releases it or the lease runs out
  kHeldElsewhere,   // another station holds a live claim on it
  kAlreadyUpdated,  // a successful attempt with the same page image is recorded
};

struct ClaimResult {
  ClaimVerdict verdict = ClaimVerdict::kGranted;
  // kHeldElsewhere: the station that holds it and since when; kAlreadyUpdated: the station
  // that updated it and when that attempt started.
  std::string station;
  EpochMs sinceMs = 0;
};

// What a station is doing now, published about once a second while a line runs.
struct StationState {
  std::string station;  // "<host>:<port>"
  std::string host;
  std::string port;
  // "searching", "waiting" (for a module), "configuring", "transferring", "restoring",
  // "retrying" (the station failed and is tried again), "stopped"
  std::string state;
  std::optional<std::string> moduleId;
  int page = 0;  // while transferring: page n of m, from 1
  int pages = 0;
  std::string lastResult;  // the result class of its last attempt, empty before the first
  std::string lastMessage;
  int updated = 0;
  int failed = 0;
  int skipped = 0;
  int frames = 0;           // page frames sent since the station started
  int resends = 0;          // of those, resends
  EpochMs startedMs = 0;    // when the station started
  EpochMs publishedMs = 0;  // when this state was published (set by the history)
  int64_t ageMs = 0;        // on reading: how long ago it was published, by the history's clock
};

// Which attempts to list; every condition given must hold. Newest first.
struct AttemptQuery {
  std::optional<std::string> moduleId;
  std::optional<EpochMs> sinceMs;      // started at or after
  std::optional<std::string> result;   // a result class, or "failed" for every failure
  std::optional<std::string> station;  // "<host>:<port>"
  std::size_t limit = 0;               // 0: no limit
};

// Attempts of one hour (hours start on the hour, UTC).
struct HourCount {
  EpochMs hourMs = 0;
  int updated = 0;
  int failed = 0;
};

struct StationCount {
  std::string station;
  int updated = 0;
  int failed = 0;
  int skipped = 0;
};

// One attempt that sent page frames, as a point of its station's link over time.
struct LinkPoint {
  std::string station;
  EpochMs startMs = 0;
  std::optional<double> roundTripMedianMs;
  std::optional<double> roundTripWorstMs;
  int frames = 0;
  int resends = 0;
};

class History {
 public:
  virtual ~History() = default;

  // The history for messages: "SQLite database /var/lib/line.db", "PostgreSQL database line
  // on /run/postgresql" (never a password).
  virtual std::string Describe() const = 0;

  // Before a station starts a module's update. Granted when no other station holds a live
  // claim on the module and, unless `allowRepeat`, no successful attempt with this page image
  // (`imageSha256`) is recorded. A station that claims a module it holds already renews it.
  // Atomic across every program that shares the history.
  virtual ClaimResult Claim(const std::string& moduleId, const std::string& station,
                            const std::string& imageSha256, bool allowRepeat, int64_t leaseMs) = 0;
  // Extends a live claim of this station to `leaseMs` from now; false when it has none. A claim
  // whose lease ran out and that no other station took since is still this station's and is
  // renewed too (a late renewal loses nothing that anyone else holds).
  virtual bool Renew(const std::string& moduleId, const std::string& station, int64_t leaseMs) = 0;
  // Gives the claim up (after the attempt is recorded); nothing when the station holds none.
  virtual void Release(const std::string& moduleId, const std::string& station) = 0;

  virtual void Record(const Attempt& attempt) = 0;
  // Records several attempts in one transaction: all of them or, on an error, none (an import
  // of report files, or a benchmark's filling).
  virtual void RecordAll(const std::vector<Attempt>& attempts) = 0;
  virtual void Publish(const StationState& state) = 0;

  virtual std::vector<Attempt> Attempts(const AttemptQuery& query) = 0;
  // Every station that ever published, its latest state with its age.
  virtual std::vector<StationState> Stations() = 0;
  virtual std::vector<StationCount> CountsByStation(EpochMs sinceMs) = 0;
  virtual std::vector<HourCount> ModulesPerHour(EpochMs sinceMs) = 0;
  // Oldest first.
  virtual std::vector<LinkPoint> LinkSeries(EpochMs sinceMs) = 0;
};

// Texts are stored as UTF-8. A text that is not valid UTF-8, or that holds a NUL, is stored with
// each such byte as the character of the same code (ISO 8859-1; NUL as U+FFFD), the same in
// every implementation: PostgreSQL cannot keep either, and a record must never be lost for a
// device's stray byte. Two module IDs that differ only in such bytes may therefore meet.

// Opens (and creates, or migrates to this program's schema) the history `target` names: a
// "postgresql://" or "postgres://" URL, or a libpq connection string ("host=... dbname=...",
// the PG* environment variables and the password file apply), else the path of an SQLite
// file. Throws HistoryError.
std::unique_ptr<History> OpenHistory(const std::string& target);

// A history that lives as long as the program: the claims of the stations of one process.
std::unique_ptr<History> OpenMemoryHistory();

}  // namespace history
