#include "line_view.h"

#include <sstream>

#include "production_loop.h"

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
  if (output_.Terminal() && drawn_ && !Elapsed(now, lastDraw_, kRedrawEveryMs)) {
    heldBack_ = true;
    return;
  }
  lastDraw_ = now;
  DrawLocked();
}

void LineView::CatchUp() {
  std::lock_guard<Mutex> guard(lock_);
  if (!heldBack_)
    return;
  lastDraw_ = clock_.TickCount();
  DrawLocked();
}

void LineView::Draw() {
  std::lock_guard<Mutex> guard(lock_);
  DrawLocked();
}

void LineView::ModuleEnded(const StationTracker& tracker, const ModuleRecord& record) {
  std::lock_guard<Mutex> guard(lock_);
  std::string name;
  for (const Shown& shown : stations_)
    if (shown.tracker == &tracker)
      name = shown.name;
  std::string text = name + ": " + ModuleLine(record);
  // Why it was not updated: what the station would have said, line by line (the console's
  // own line after a box text says the device and the system's reason).
  if (record.result != "success") {
    std::istringstream reason(record.message);
    for (std::string line; std::getline(reason, line);) {
      line.erase(line.find_last_not_of(' ') + 1);
      if (!line.empty())
        text += "\n" + name + ":   " + line;
    }
  }
  output_.LineAboveBlock(text);
  if (output_.Terminal())
    DrawLocked();
}

void LineView::DrawLocked() {
  drawn_ = true;
  heldBack_ = false;
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
