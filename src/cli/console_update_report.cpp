#include "console_update_report.h"

#include <cstdio>
#include <type_traits>

#include "update/link_protocol.h"

namespace {
std::string Seconds(uint32_t milliseconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f s", milliseconds / 1000.0);
  return text;
}
}  // namespace

void ConsoleUpdateReport::OnUpdateEvent(const UpdateEvent& event) {
  namespace ev = update_events;
  std::visit(
      [this](const auto& e) {
        using Event = std::decay_t<decltype(e)>;
        if constexpr (std::is_same_v<Event, ev::UpdateStarted>) {
          run_ = Run();
          run_.started = true;
          run_.startTick = e.tick;
        } else if constexpr (std::is_same_v<Event, ev::BaudRateTried>) {
          if (e.answered)
            run_.baud = e.baud;
        } else if constexpr (std::is_same_v<Event, ev::PageFrameSent>) {
          FrameSent(e);
        } else if constexpr (std::is_same_v<Event, ev::PageReplied>) {
          run_.lastReplyTick = e.tick;
          if (e.reply == ev::Reply::kByte && e.byte == protocol::kPageAccepted)
            ++run_.accepted;
        } else if constexpr (std::is_same_v<Event, ev::UpdateFinished>) {
          run_.outcome = e.outcome;
          run_.endTick = e.tick;
        }
      },
      event);
}

void ConsoleUpdateReport::FrameSent(const update_events::PageFrameSent& sent) {
  if (run_.frames++ == 0)
    run_.firstFrameTick = sent.tick;
  if (sent.send > 1)
    ++run_.resends;
  run_.pages = sent.pages;
  if (sent.send != 1 || !output_.Terminal())
    return;
  const PageProgress progress{sent.page + 1, sent.pages};
  run_.rate.PageShown(progress, sent.tick);
  output_.Progress(FormatProgressBar(progress, run_.rate.PagesPerSecond()));
  output_.Flush();
}

std::string ConsoleUpdateReport::Summary() const {
  if (!run_.started)
    return {};
  std::string summary = "Summary: ";
  if (run_.baud != 0)
    summary += "base station at " + std::to_string(run_.baud) + " baud; ";
  if (run_.frames != 0) {
    summary += std::to_string(run_.accepted) + " of " + std::to_string(run_.pages) +
               " pages accepted in " + std::to_string(run_.frames) + " frames (" +
               std::to_string(run_.resends) + " resent), " +
               Seconds(run_.lastReplyTick - run_.firstFrameTick) + "; ";
  }
  return summary + "update " + Seconds(run_.endTick - run_.startTick) + ".";
}
