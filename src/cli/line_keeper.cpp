#include "line_keeper.h"

namespace {
constexpr uint32_t kPublishEveryMs = 1000;
constexpr uint32_t kLookEveryMs = 100;
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
  Publish();
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
    if (Elapsed(now, lastPublish, kPublishEveryMs)) {
      lastPublish = now;
      Publish();
    }
    clock_.Sleep(kLookEveryMs);
  }
}

void LineKeeper::Publish() {
  if (!publish_)
    return;
  for (Kept& kept : stations_) {
    try {
      history_.Publish(kept.tracker->Snapshot());
    } catch (const history::HistoryError&) {
      // The next second tries again; the dashboard shows the station as offline meanwhile.
    }
  }
}
