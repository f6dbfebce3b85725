#include <algorithm>
#include <map>

#include "claim_rule.h"
#include "history.h"
#include "history_mutex.h"
#include "query_rules.h"
#include "utf8_text.h"

namespace history {

namespace {

// Every station thread of one program shares it; the claims keep its stations apart.
class MemoryHistory : public History {
 public:
  std::string Describe() const override { return "the history in memory (this program only)"; }

  ClaimResult Claim(const std::string& moduleId, const std::string& station,
                    const std::string& imageSha256, bool allowRepeat, int64_t leaseMs) override {
    const std::string module = StorableText(moduleId);
    const std::string sha = StorableText(imageSha256);
    HistoryLock lock(mutex_);
    std::optional<StoredClaim> current;
    if (auto found = claims_.find(module); found != claims_.end()) {
      current = found->second;
    }
    std::optional<SuccessfulAttempt> updated;
    if (!allowRepeat) {
      updated = LatestSuccess(module, sha);
    }
    const ClaimDecision decision =
        DecideClaim(current, StorableText(station), updated, SystemNowMs(), leaseMs);
    if (decision.store) {
      claims_[module] = *decision.store;
    }
    return decision.result;
  }

  bool Renew(const std::string& moduleId, const std::string& station, int64_t leaseMs) override {
    HistoryLock lock(mutex_);
    auto found = claims_.find(StorableText(moduleId));
    if (found == claims_.end() || found->second.station != StorableText(station)) {
      return false;
    }
    found->second.expiresMs = SystemNowMs() + leaseMs;
    return true;
  }

  void Release(const std::string& moduleId, const std::string& station) override {
    HistoryLock lock(mutex_);
    auto found = claims_.find(StorableText(moduleId));
    if (found != claims_.end() && found->second.station == StorableText(station)) {
      claims_.erase(found);
    }
  }

  void Record(const Attempt& attempt) override {
    Attempt stored = StorableAttempt(attempt);
    HistoryLock lock(mutex_);
    attempts_.push_back(std::move(stored));
  }

  void RecordAll(const std::vector<Attempt>& attempts) override {
    std::vector<Attempt> stored;
    stored.reserve(attempts.size());
    for (const Attempt& attempt : attempts) {
      stored.push_back(StorableAttempt(attempt));
    }
    HistoryLock lock(mutex_);
    attempts_.insert(attempts_.end(), stored.begin(), stored.end());
  }

  void Publish(const StationState& state) override {
    StationState stored = StorableState(state);
    stored.publishedMs = SystemNowMs();
    stored.ageMs = 0;
    HistoryLock lock(mutex_);
    stations_[stored.station] = std::move(stored);
  }

  std::vector<Attempt> Attempts(const AttemptQuery& query) override {
    HistoryLock lock(mutex_);
    std::vector<Attempt> found;
    // Newest first: the latest start, and of equal starts the one recorded last.
    for (auto at = attempts_.rbegin(); at != attempts_.rend(); ++at) {
      if (Matches(*at, query)) {
        found.push_back(*at);
      }
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const Attempt& a, const Attempt& b) { return a.startMs > b.startMs; });
    if (query.limit != 0 && found.size() > query.limit) {
      found.resize(query.limit);
    }
    return found;
  }

  std::vector<StationState> Stations() override {
    const EpochMs now = SystemNowMs();
    HistoryLock lock(mutex_);
    std::vector<StationState> states = Values(stations_);
    for (StationState& state : states) {
      state.ageMs = now - state.publishedMs;
    }
    return states;
  }

  std::vector<StationCount> CountsByStation(EpochMs sinceMs) override {
    HistoryLock lock(mutex_);
    std::map<std::string, StationCount> counts;
    for (const Attempt& attempt : attempts_) {
      if (attempt.startMs >= sinceMs) {
        StationCount& count = counts[attempt.station];
        count.station = attempt.station;
        Count(attempt.result, count.updated, count.failed, count.skipped);
      }
    }
    return Values(counts);
  }

  std::vector<HourCount> ModulesPerHour(EpochMs sinceMs) override {
    HistoryLock lock(mutex_);
    std::map<EpochMs, HourCount> hours;
    for (const Attempt& attempt : attempts_) {
      if (attempt.startMs >= sinceMs && attempt.result != "skipped") {
        HourCount& hour = hours[HourOf(attempt.startMs)];
        hour.hourMs = HourOf(attempt.startMs);
        (attempt.result == "success" ? hour.updated : hour.failed)++;
      }
    }
    return Values(hours);
  }

  std::vector<LinkPoint> LinkSeries(EpochMs sinceMs) override {
    HistoryLock lock(mutex_);
    std::vector<LinkPoint> points;
    for (const Attempt& attempt : attempts_) {
      if (attempt.startMs >= sinceMs && attempt.frames > 0) {
        points.push_back(LinkPointOf(attempt));
      }
    }
    std::stable_sort(points.begin(), points.end(),
                     [](const LinkPoint& a, const LinkPoint& b) { return a.startMs < b.startMs; });
    return points;
  }

 private:
  template <class Key, class T>
  static std::vector<T> Values(const std::map<Key, T>& map) {
    std::vector<T> values;
    for (const auto& [key, value] : map) {
      values.push_back(value);
    }
    return values;
  }

  std::optional<SuccessfulAttempt> LatestSuccess(const std::string& module,
                                                 const std::string& sha) const {
    std::optional<SuccessfulAttempt> latest;
    for (const Attempt& attempt : attempts_) {
      if (attempt.result == "success" && attempt.moduleId == module && attempt.imageSha256 == sha &&
          (!latest || attempt.startMs >= latest->startMs)) {
        latest = SuccessfulAttempt{attempt.station, attempt.startMs};
      }
    }
    return latest;
  }

  HistoryMutex mutex_;
  std::map<std::string, StoredClaim> claims_;
  std::vector<Attempt> attempts_;  // in the order recorded
  std::map<std::string, StationState> stations_;
};

}  // namespace

std::unique_ptr<History> OpenMemoryHistory() {
  return std::make_unique<MemoryHistory>();
}

}  // namespace history
