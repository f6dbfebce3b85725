#include "busy_line.h"

#include <algorithm>
#include <string>
#include <vector>

namespace busy_line {

using history::Attempt;
using history::EpochMs;
using Clock = std::chrono::steady_clock;

EpochMs NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

Attempt MakeAttempt(std::size_t i, std::size_t count, const Span& span, std::mt19937& random) {
  Attempt a;
  const int station = static_cast<int>(i % kStations);
  a.host = station < 4 ? "line-3a" : "line-3b";
  a.port = "/dev/ttyUSB" + std::to_string(station % 4);
  a.station = a.host + ":" + a.port;
  a.startMs = span.endMs - span.spanMs +
              static_cast<EpochMs>(i) * span.spanMs / static_cast<EpochMs>(count);
  a.durationMs = 9000 + random() % 2000;
  const std::size_t module = random() % 20 == 0 && i > 100 ? i - 1 - random() % 100 : i;
  a.moduleId = std::to_string(span.firstModule + module);
  const unsigned roll = random() % 100;
  a.result = roll < 90   ? "success"
             : roll < 95 ? "skipped"
             : roll < 98 ? "transfer_failed"
                         : "configuration_failed";
  a.exitCode = a.result == "success" || a.result == "skipped" ? 0 : 8;
  a.message = a.exitCode ? "The firmware update failed.\n\nThe module did not answer." : "";
  a.imageSha256 = "c9a3a07eecc775c05a36ed37a68bf84a94f19ff290f49eeefa277091928476dd";
  a.firmwareVersion = "3.05";
  a.pagesAccepted = a.result == "success" ? 13 : 0;
  a.frames = a.result == "skipped" ? 0 : 13 + static_cast<int>(random() % 3);
  a.resends = a.frames ? a.frames - 13 : 0;
  if (a.frames) {
    a.roundTripMedianMs = 50 + random() % 10;
    a.roundTripWorstMs = *a.roundTripMedianMs + random() % 20;
  }
  a.recordJson = "{\"schema\":1,\"module_id\":\"" + *a.moduleId + "\",\"host\":\"" + a.host +
                 "\",\"port\":\"COM9\",\"device\":\"" + a.port +
                 "\",\"baud\":115200,\"base_station_id\":\"KV-TSLK-00,2.07\",\"network_serial\":"
                 "\"00A2B3C4 00000002\",\"pan_id\":\"2222\",\"rf_channel\":\"20\",\"result\":\"" +
                 a.result + "\",\"image_sha256\":\"" + *a.imageSha256 + "\"}";
  return a;
}

Timing Time(int runs, const std::function<void(int)>& question) {
  std::vector<double> ms;
  for (int run = 0; run < runs; ++run) {
    const auto start = Clock::now();
    question(run);
    ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  std::sort(ms.begin(), ms.end());
  return {ms[ms.size() / 2], ms.back()};
}

double Fill(history::History& history, std::size_t count, const Span& span) {
  std::mt19937 random(7);
  const auto start = Clock::now();
  std::vector<Attempt> batch;
  for (std::size_t i = 0; i < count; ++i) {
    batch.push_back(MakeAttempt(i, count, span, random));
    if (batch.size() == 50000 || i + 1 == count) {
      history.RecordAll(batch);
      batch.clear();
    }
  }
  return std::chrono::duration<double>(Clock::now() - start).count();
}

void PublishStations(history::History& history) {
  for (int s = 0; s < kStations; ++s) {
    history::StationState state;
    state.station =
        "line-3" + std::string(s < 4 ? "a" : "b") + ":/dev/ttyUSB" + std::to_string(s % 4);
    state.state = "transferring";
    history.Publish(state);
  }
}

}  // namespace busy_line
