#include "station_tracker.h"

#include <chrono>

namespace {
history::EpochMs NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

// The state an event puts the station in; empty for the events that change none.
const char* StateAfter(const UpdateEvent& event) {
  namespace ev = update_events;
  if (std::holds_alternative<ev::UpdateStarted>(event))
    return "searching";
  if (std::holds_alternative<ev::ParameterDialogOpened>(event))
    return "waiting";
  if (const auto* closed = std::get_if<ev::ParameterDialogClosed>(&event))
    return closed->started ? "configuring" : "restoring";
  if (const auto* polled = std::get_if<ev::BootLoaderPolled>(&event))
    return polled->poll == 1 && polled->answered ? "configuring" : "";
  if (std::holds_alternative<ev::PageFrameSent>(event))
    return "transferring";
  if (std::holds_alternative<ev::EndMarkSent>(event))
    return "restoring";
  return "";
}
}  // namespace

StationTracker::StationTracker(std::string station, std::string host, std::string port) {
  state_.station = std::move(station);
  state_.host = std::move(host);
  state_.port = std::move(port);
  state_.state = "searching";
  state_.startedMs = NowMs();
}

void StationTracker::OnUpdateEvent(const UpdateEvent& event) {
  const char* state = StateAfter(event);
  const auto* sent = std::get_if<update_events::PageFrameSent>(&event);
  const auto* parameter = std::get_if<update_events::ParameterReceived>(&event);
  const bool started = std::holds_alternative<update_events::UpdateStarted>(event);
  if (*state == '\0' && parameter == nullptr)
    return;
  Change([&](history::StationState& s) {
    if (*state != '\0')
      s.state = state;
    if (started) {
      s.moduleId.reset();
      s.page = s.pages = 0;
    }
    if (parameter != nullptr && parameter->parameter == update_events::Parameter::kModuleId)
      s.moduleId = parameter->text;
    if (sent != nullptr) {
      s.page = sent->page + 1;
      s.pages = sent->pages;
      ++s.frames;
      s.resends += sent->send > 1 ? 1 : 0;
    }
  });
}

void StationTracker::SetState(const std::string& state) {
  Change([&](history::StationState& s) { s.state = state; });
}

void StationTracker::Finished(const ModuleRecord& record) {
  Change([&](history::StationState& s) {
    s.lastResult = record.result;
    s.lastMessage = record.message;
    if (record.result == "skipped")
      ++s.skipped;
    else if (record.exitCode == ExitCode::kSuccess)
      ++s.updated;
    else
      ++s.failed;
  });
}

history::StationState StationTracker::Snapshot() const {
  std::lock_guard<Mutex> guard(lock_);
  return state_;
}

void StationTracker::Change(const std::function<void(history::StationState&)>& change) {
  {
    std::lock_guard<Mutex> guard(lock_);
    change(state_);
  }
  if (changed_)
    changed_();
}
