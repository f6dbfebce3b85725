#include "module_statistics.h"

#include <algorithm>
#include <cstdio>

#include "firmware/hex_page_image.h"
#include "sha256.h"
#include "update/link_protocol.h"

namespace {
constexpr double kBitsPerByte = 10;  // start bit, 8 data bits, stop bit

std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, value == static_cast<uint32_t>(value) ? "%.0f" : "%.1f", value);
  return text;
}

std::optional<std::string>& ParameterSlot(ModuleFacts& facts, update_events::Parameter which) {
  using update_events::Parameter;
  switch (which) {
    case Parameter::kModuleId:
      return facts.moduleId;
    case Parameter::kNetworkSerial:
      return facts.networkSerial;
    case Parameter::kPanId:
      return facts.panId;
    case Parameter::kRfChannel:
      break;
  }
  return facts.rfChannel;
}
}  // namespace

void ModuleStatistics::Enter(Phase next, uint32_t tick) {
  const uint32_t spent = tick - run_.phaseStart;
  switch (run_.phase) {
    case Phase::kSearch:
      run_.facts.phases.search += spent;
      break;
    case Phase::kRadioSetup:
      run_.facts.phases.radioSetup += spent;
      break;
    case Phase::kSetupWait:
      run_.facts.phases.setupWait += spent;
      break;
    case Phase::kTransfer:
      run_.facts.phases.transfer += spent;
      break;
    case Phase::kRestore:
      run_.facts.phases.restore += spent;
      break;
    case Phase::kNone:
      break;
  }
  run_.phase = next;
  run_.phaseStart = tick;
}

void ModuleStatistics::OnUpdateEvent(const UpdateEvent& event) {
  std::visit(
      [this](const auto& e) {
        Take(e);
        run_.lastTick = e.tick;
      },
      event);
}

void ModuleStatistics::Take(const update_events::UpdateStarted& e) {
  run_ = Run();
  run_.facts.started = true;
  run_.facts.start = std::chrono::system_clock::now();
  run_.startTick = e.tick;
  Enter(Phase::kSearch, e.tick);
}

void ModuleStatistics::Take(const update_events::PageImageBuilt& e) {
  run_.facts.imagePages = static_cast<int>(e.pages);
  if (const auto digest = Sha256(e.image))
    run_.facts.imageSha256 = Sha256Hex(*digest);
}

void ModuleStatistics::Take(const update_events::BaudRateTried& e) {
  if (!e.answered)
    return;
  run_.facts.baud = e.baud;
  // The identification line without the CR it begins with and the line end.
  std::string line = e.reply.substr(e.reply.empty() || e.reply[0] != '\r' ? 0 : 1);
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
  run_.facts.baseStationId = line;
  Enter(Phase::kRadioSetup, e.tick);
}

void ModuleStatistics::Take(const update_events::BootLoaderPolled& e) {
  if (e.poll == 1 && e.answered) {
    run_.facts.moduleSeen = true;
    run_.facts.recovery = true;
  }
  if (e.poll == 2)
    Enter(Phase::kTransfer, e.tick);
}

void ModuleStatistics::Take(const update_events::ParameterDialogOpened& e) {
  Enter(Phase::kSetupWait, e.tick);
}

void ModuleStatistics::Take(const update_events::ParameterReceived& e) {
  run_.facts.moduleSeen = true;
  ParameterSlot(run_.facts, e.parameter) = e.text;
}

void ModuleStatistics::Take(const update_events::ParameterDialogClosed& e) {
  Enter(Phase::kRadioSetup, e.tick);
}

void ModuleStatistics::Take(const update_events::BootLoaderIdentified& e) {
  run_.facts.bootLoader = e.text;
}

void ModuleStatistics::Take(const update_events::PageReplied& e) {
  if (e.reply == update_events::Reply::kByte) {
    run_.facts.link.roundTripsMs.push_back(e.roundTripMs);
    if (e.byte == protocol::kPageAccepted)
      ++run_.facts.link.accepted;
  }
  run_.facts.link.spanMs = e.tick - run_.firstFrameTick;
}

void ModuleStatistics::Take(const update_events::EndMarkSent& e) {
  Enter(Phase::kRestore, e.tick);
}

void ModuleStatistics::Take(const update_events::BaseStationRestored& e) {
  // A run that broke off began its restore after the last thing it did.
  if (run_.phase != Phase::kRestore)
    Enter(Phase::kRestore, run_.lastTick);
  Enter(Phase::kNone, e.tick);
}

void ModuleStatistics::Take(const update_events::UpdateFinished& e) {
  Enter(Phase::kNone, e.tick);
  run_.facts.durationMs = e.tick - run_.startTick;
  run_.facts.outcome = e.outcome;
  run_.facts.message = e.outcome == UpdateOutcome::kSuccess ? "" : e.message;
}

void ModuleStatistics::Take(const update_events::PageFrameSent& sent) {
  LinkFigures& link = run_.facts.link;
  if (link.frames++ == 0)
    run_.firstFrameTick = sent.tick;
  link.staleBytes += sent.discarded;
  link.pages = sent.pages;
  if (sent.send == 1)
    return;
  ++link.resends;
  const int resends = ++run_.resendsByPage[sent.page];
  if (resends > link.mostResends) {
    link.mostResends = resends;
    link.mostResentPage = sent.page;
  }
}

std::optional<double> Median(std::vector<uint32_t> values) {
  if (values.empty())
    return std::nullopt;
  const std::size_t middle = values.size() / 2;
  std::nth_element(values.begin(), values.begin() + middle, values.end());
  const double upper = values[middle];
  if (values.size() % 2 == 1)
    return upper;
  const double lower = *std::max_element(values.begin(), values.begin() + middle);
  return (lower + upper) / 2;
}

std::string LinkSummary(const ModuleFacts& facts) {
  const LinkFigures& link = facts.link;
  if (link.frames == 0)
    return "no pages sent";
  std::string text = std::to_string(link.accepted) + " of " + std::to_string(link.pages) +
                     " pages, " + std::to_string(link.frames) + " frames, " +
                     std::to_string(link.resends) + " resent";
  if (link.mostResentPage >= 0) {
    text += " (most: page " + std::to_string(link.mostResentPage) + ", " +
            std::to_string(link.mostResends) + (link.mostResends == 1 ? " time)" : " times)");
  }
  if (const auto median = Median(link.roundTripsMs)) {
    text += "; round trip median " + Number(*median) + " ms, worst " +
            std::to_string(*std::max_element(link.roundTripsMs.begin(), link.roundTripsMs.end())) +
            " ms";
  }
  if (link.spanMs != 0 && facts.baud != 0) {
    const double bytesPerSecond =
        link.accepted * static_cast<double>(kPageSize) * 1000.0 / link.spanMs;
    const double wireLimit = facts.baud / kBitsPerByte;
    char rate[128];
    // Faster than the wire can carry: the bytes took no time on a real line.
    if (bytesPerSecond > wireLimit) {
      std::snprintf(rate, sizeof rate,
                    "; %.0f bytes/s, faster than %u baud can carry: the link is simulated",
                    bytesPerSecond, facts.baud);
    } else {
      std::snprintf(rate, sizeof rate, "; %.0f bytes/s, %.1f %% of the wire limit at %u baud",
                    bytesPerSecond, 100 * bytesPerSecond / wireLimit, facts.baud);
    }
    text += rate;
  }
  if (link.staleBytes != 0)
    text += "; " + std::to_string(link.staleBytes) + " stale bytes dropped before frames";
  return text;
}
