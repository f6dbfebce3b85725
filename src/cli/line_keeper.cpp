#include "line_keeper.h"

namespace {
constexpr uint32_t kPublishEveryMs = 1000;
constexpr uint32_t kLookEveryMs = 100;

// A new state or a module's end is published at once, so that the dashboard shows it within a
// second; the pages of a transfer wait for the next second.
bool Moved(const history::StationState& now, const history::StationState& published) {
  return now.state != published.state || now.updated != published.updated ||
         now.failed != published.failed || now.skipped != published.skipped;
}
}  // namespace

void LineKeeper::Start() {
  if (!thread_)
    thread_ = std::make_unique<WorkerThread>([this] { Run(); });
}

void LineKeeper::Stop() {
  if (!thread_)
    return;
  stop_ = true;
  thread_->Join();
  thread_.reset();
  for (Kept& kept : stations_) kept.tracker->SetState("stopped");
  Publish(true);
}

void LineKeeper::Run() {
  uint32_t lastRenew = clock_.TickCount();
  uint32_t lastPublish = lastRenew - kPublishEveryMs;
  while (!stop_) {
    const uint32_t now = clock_.TickCount();
    // Three renewals in each lease: one lost to a busy server does not let the claim lapse.
    const uint32_t renewEveryMs =
        stations_.empty() ? kPublishEveryMs
                          : static_cast<uint32_t>(stations_.front().gate->LeaseMs() / 3);
    if (Elapsed(now, lastRenew, renewEveryMs)) {
      lastRenew = now;
      for (Kept& kept : stations_) kept.gate->Renew();
    }
    const bool due = Elapsed(now, lastPublish, kPublishEveryMs);
    if (due)
      lastPublish = now;
    Publish(due);
    clock_.Sleep(kLookEveryMs);
  }
}

void LineKeeper::Publish(bool all) {
  if (!publish_)
    return;
  for (Kept& kept : stations_) {
    const history::StationState state = kept.tracker->Snapshot();
    if (!all && !Moved(state, kept.published))
      continue;
    try {
      history_.Publish(state);
      kept.published = state;
    } catch (const history::HistoryError&) {
      // Tried again at the next look; the dashboard shows the station as offline meanwhile.
    }
  }
}
