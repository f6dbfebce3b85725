#include "line_view.h"

namespace {
constexpr uint32_t kRedrawEveryMs = 100;

std::string Padded(std::string text, std::size_t width) {
  if (text.size() < width)
    text.resize(width, ' ');
  return text;
}
}  // namespace

std::string StateWords(const history::StationState& state) {
  if (state.state == "transferring" && state.pages != 0)
    return "page " + std::to_string(state.page) + " of " + std::to_string(state.pages);
  if (state.state == "waiting")
    return "waiting for a module";
  return state.state;
}

void LineView::Add(const StationTracker& tracker, std::string name) {
  std::lock_guard<Mutex> guard(lock_);
  stations_.push_back({&tracker, std::move(name), {}});
}

void LineView::Changed() {
  std::lock_guard<Mutex> guard(lock_);
  const uint32_t now = clock_.TickCount();
  if (output_.Terminal() && drawn_ && !Elapsed(now, lastDraw_, kRedrawEveryMs))
    return;
  lastDraw_ = now;
  DrawLocked();
}

void LineView::Draw() {
  std::lock_guard<Mutex> guard(lock_);
  DrawLocked();
}

void LineView::DrawLocked() {
  drawn_ = true;
  std::vector<std::string> lines;
  for (Shown& shown : stations_) {
    const history::StationState state = shown.tracker->Snapshot();
    const std::string module = state.moduleId ? *state.moduleId : "-";
    const std::string last = state.lastResult.empty() ? "" : "  last: " + state.lastResult;
    const std::string words = StateWords(state);
    if (!output_.Terminal()) {
      // Plain lines: a station's change of state, not each page.
      const std::string said = state.state + " " + module + last;
      if (said != shown.said)
        output_.Line(shown.name + ": " + words + ", module " + module + last);
      shown.said = said;
      continue;
    }
    lines.push_back(Padded(shown.name, 28) + Padded(words, 24) + Padded("module " + module, 16) +
                    last);
  }
  if (output_.Terminal()) {
    lines.push_back("Line: " + totals_.TotalsText());
    output_.Block(lines);
  }
}
