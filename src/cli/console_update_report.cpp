#include "console_update_report.h"

#include "text_fields.h"

void ConsoleUpdateReport::OnUpdateEvent(const UpdateEvent& event) {
  if (std::holds_alternative<update_events::UpdateStarted>(event))
    rate_ = TransferRate();
  const auto* sent = std::get_if<update_events::PageFrameSent>(&event);
  if (sent == nullptr || sent->send != 1 || !output_.Terminal())
    return;
  const PageProgress progress{sent->page + 1, sent->pages};
  rate_.PageShown(progress, sent->tick);
  output_.Progress(FormatProgressBar(progress, rate_.PagesPerSecond()));
  output_.Flush();
}

std::string UpdateSummary(const ModuleFacts& facts) {
  if (!facts.started)
    return {};
  const LinkFigures& link = facts.link;
  std::string summary = "Summary: ";
  if (facts.baud != 0)
    summary += "base station at " + std::to_string(facts.baud) + " baud; ";
  if (link.frames != 0) {
    summary += std::to_string(link.accepted) + " of " + std::to_string(link.pages) +
               " pages accepted in " + std::to_string(link.frames) + " frames (" +
               std::to_string(link.resends) + " resent), " + SecondsText(link.spanMs) + "; ";
  }
  return summary + "update " + SecondsText(facts.durationMs) + ".";
}
