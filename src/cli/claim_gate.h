#pragma once
#include <cstdint>
#include <string>

#include "history/history.h"
#include "line_totals.h"
#include "setup_prompt.h"
#include "threads.h"

// Every module exactly once: before a station starts a module's update it claims the module ID
// in the line's history, and turns it down (Cancel Update) when another station holds it, or
// when the history shows it updated already with the same page image, unless repeats are
// allowed. The claim is a lease, renewed while the update runs and given up once its record is
// kept; a station that dies lets it run out. A module also needs a place in the line's --count.
class ClaimGate : public ModuleGate {
 public:
  ClaimGate(history::History& history, std::string station, std::string imageSha256,
            bool allowRepeat, int64_t leaseMs, LineTotals& totals)
      : history_(history),
        station_(std::move(station)),
        imageSha256_(std::move(imageSha256)),
        allowRepeat_(allowRepeat),
        leaseMs_(leaseMs),
        totals_(totals) {}

  std::string Refusal(const ModuleReport& module) override;
  // The module's record is kept: its claim is given up. Returns whether it had a place in the
  // count (for LineTotals::Count).
  bool Done();
  // Extends the lease of the claim held now, if any; called from the line's keeper.
  void Renew();
  int64_t LeaseMs() const { return leaseMs_; }

 private:
  void ReleaseQuietly(const std::string& moduleId);

  history::History& history_;
  const std::string station_;
  const std::string imageSha256_;
  const bool allowRepeat_;
  const int64_t leaseMs_;
  LineTotals& totals_;
  Mutex lock_;
  std::string claimed_;  // the module ID held, empty when none
  bool reserved_ = false;
};

// "2026-12-08T21:00:01.000Z".
std::string IsoUtcTimeOf(history::EpochMs epochMs);
