#include "pc_script.h"

#include <cstdlib>
#include <cstring>

namespace simtest {

std::string Esc6() {
  return std::string(6, '\x1b');
}

std::string StoredFrames() {
  static const uint8_t kFrames[] = {0x7E, 0x00, 0x06, 0x08, 0x52, 0x49, 0x44, 0xD1, 0xD3, 0x74,
                                    0x7E, 0x00, 0x05, 0x08, 0x52, 0x43, 0x48, 0x0E, 0x0C, 0x7E,
                                    0x00, 0x05, 0x08, 0x52, 0x41, 0x50, 0x00, 0x14};
  return std::string(reinterpret_cast<const char*>(kFrames), sizeof kFrames);
}

std::vector<uint8_t> Bytes(const std::string& text) {
  return {text.begin(), text.end()};
}
std::string Text(const std::vector<uint8_t>& bytes) {
  return {bytes.begin(), bytes.end()};
}

std::string ResponseFrame(uint8_t id, const std::string& name, uint8_t status,
                          const std::string& value) {
  std::string data =
      std::string("\x88", 1) + static_cast<char>(id) + name + static_cast<char>(status) + value;
  uint8_t sum = 0;
  for (char c : data) sum = static_cast<uint8_t>(sum + static_cast<uint8_t>(c));
  return std::string("\x7E\x00", 2) + static_cast<char>(data.size()) + data +
         static_cast<char>(0xFF - sum);
}

std::vector<uint8_t> SampleImage(int pages) {
  std::vector<uint8_t> image(static_cast<size_t>(pages) * 256);
  for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 7 + i / 256);
  return image;
}

std::string PageFrame(const std::vector<uint8_t>& image, size_t page) {
  std::string frame(259, '\0');
  frame[0] = static_cast<char>(page >> 8);
  frame[1] = static_cast<char>(page);
  uint8_t sum = 0;
  for (size_t i = 0; i < 256; ++i) {
    frame[2 + i] = static_cast<char>(image[page * 256 + i]);
    sum = static_cast<uint8_t>(sum + image[page * 256 + i]);
  }
  frame[258] = static_cast<char>(sum);
  return frame;
}

std::string Bench::ReadBytes(int count, uint32_t timeoutMs) {
  std::string buffer(static_cast<size_t>(count), '\0');
  buffer.resize(static_cast<size_t>(port.ReadBytes(buffer.data(), count, timeoutMs)));
  return buffer;
}

std::string Bench::Collect(uint32_t ms) {
  Wait(ms);
  std::string all;
  char buffer[512];
  while (uint32_t n = port.Read(buffer, sizeof buffer)) all.append(buffer, n);
  return all;
}

namespace {

constexpr int kRates[] = {9600, 57600, 14400, 19200, 38400, 115200};
const char* const kLabels[][2] = {
    {"  Module ID.............  ", "Module ID"},
    {"  Network S/N...........  ", "Network S/N"},
    {"  PAN ID................  ", "PAN ID"},
    {"  RF Channel............  ", "RF Channel"},
};
constexpr size_t kMaxValue[] = {6, 17, 4, 2};

// One byte within `limit` ms, as the transfer's waits read it; -1 on time-out.
int WaitByte(Bench& b, uint32_t limit) {
  const uint32_t start = b.clock.TickCount();
  while (!Elapsed(b.clock.TickCount(), start, limit)) {
    uint8_t byte;
    if (b.port.BytesWaiting() != 0)
      return b.port.Read(&byte, 1) == 1 ? byte : -2;
  }
  return -1;
}

bool FindBaseStation(Bench& b, UpdateResult& result) {
  for (int rate : kRates) {
    if (!b.port.Open(3, rate, 'N', 8, 1)) {
      result.stage = "open";
      return false;
    }
    b.Wait(500);
    b.Send(Esc6());
    b.Send("<V");
    std::string reply;
    const uint32_t start = b.clock.TickCount();
    while (!Elapsed(b.clock.TickCount(), start, 2000)) {
      char byte;
      if (b.port.BytesWaiting() == 0 || b.port.Read(&byte, 1) != 1)
        continue;
      reply += byte;
      if (reply.size() == 18)
        break;
    }
    if (reply.size() == 18 && reply.compare(0, 12, "\rKV-TSLK-00,") == 0) {
      result.baud = rate;
      return true;
    }
    b.port.Close();
  }
  result.stage = "base station";
  return false;
}

bool PollBootLoader(Bench& b) {
  b.Send("\xC0");
  const std::string answer = b.ReadBytes(1, 500);
  return answer == "\xD0";
}

// The control-parameter dialog's reading of the Setup report, one 10 ms timer tick at a time.
bool ReadReport(Bench& b, const UpdateRun& run, UpdateResult& result) {
  b.Send("<RS");
  if (run.pressSetupButton)
    b.devices.PressSetupButton(b.clock.Now() + 300);
  std::string line;
  for (uint32_t waited = 0; waited < run.reportWaitMs && result.report.size() < 4; waited += 10) {
    b.Wait(10);
    char byte;
    while (b.port.BytesWaiting() != 0 && b.port.Read(&byte, 1) == 1) {
      if (byte != '\r') {
        line += byte;
        if (line.size() == 100) {
          line.clear();
          break;
        }
        continue;
      }
      for (size_t i = 0; i < 4; ++i) {
        if (line.compare(0, 26, kLabels[i][0]) != 0)
          continue;
        const std::string value = line.substr(26);
        if (!value.empty() && value.size() <= kMaxValue[i])
          result.report[kLabels[i][1]] = value;
        break;
      }
      line.clear();
    }
  }
  return result.report.size() == 4;
}

bool RowOk(const std::string& reply, const char* name, bool countChecked) {
  return (!countChecked || reply.size() == 9) && reply.size() >= 8 && reply[0] == '\x7E' &&
         static_cast<uint8_t>(reply[3]) == 0x88 && reply.compare(5, 2, name) == 0 && reply[7] == 0;
}

bool ConfigureRadios(Bench& b, UpdateResult& result) {
  const std::string& id = result.report["Module ID"];
  const std::string idField = id + std::string(6 - id.size(), '\0');
  const std::string serial = result.report["Network S/N"];
  auto be32 = [](uint32_t v) {
    return std::string{static_cast<char>(v >> 24), static_cast<char>(v >> 16),
                       static_cast<char>(v >> 8), static_cast<char>(v)};
  };
  const std::string high =
      be32(static_cast<uint32_t>(std::strtoul(serial.substr(0, 8).c_str(), nullptr, 16)));
  const std::string low =
      be32(static_cast<uint32_t>(std::strtoul(serial.substr(9).c_str(), nullptr, 16)));
  const auto pan =
      static_cast<uint16_t>(std::strtoul(result.report["PAN ID"].c_str(), nullptr, 16));
  const auto channel = static_cast<uint8_t>(std::atoi(result.report["RF Channel"].c_str()));

  auto row = [&](int number, const std::string& command, int count, uint32_t timeout) {
    b.Send(command);
    result.rowReplies[number] = b.ReadBytes(count, timeout);
    return result.rowReplies[number];
  };
  if (!RowOk(row(1, "<@:S03CH" + std::string(1, static_cast<char>(channel)), 9, 3000), "CH", true))
    return result.stage = "row 1", false;
  if (!RowOk(row(2, "<@:S04ID" + std::string{static_cast<char>(pan >> 8), static_cast<char>(pan)},
                 9, 3000),
             "ID", true))
    return result.stage = "row 2", false;
  b.Send("<@:P" + idField + "01I");
  char line[16];
  b.port.ReadLine(line, 15, 500, '\r');
  result.rowReplies[3] = line;
  if (result.rowReplies[3] != id)
    return result.stage = "row 3", false;
  const std::string sh = row(4, "<@:ISH", 13, 3000);
  if (!RowOk(sh, "SH", false))
    return result.stage = "row 4", false;
  const std::string sl = row(5, "<@:ISL", 13, 3000);
  if (!RowOk(sl, "SL", false))
    return result.stage = "row 5", false;
  if (!RowOk(row(6, "<@:P" + idField + "11#:C06DH" + sh.substr(8, 4), 9, 3000), "DH", false))
    return result.stage = "row 6", false;
  if (!RowOk(row(7, "<@:P" + idField + "11#:C06DL" + sl.substr(8, 4), 9, 3000), "DL", false))
    return result.stage = "row 7", false;
  if (!RowOk(row(8, "<@:S06DH" + high, 9, 3000), "DH", false))
    return result.stage = "row 8", false;
  if (!RowOk(row(9, "<@:S06DL" + low, 9, 3000), "DL", false))
    return result.stage = "row 9", false;
  b.Send("<@:P" + idField + "03#:Z");
  b.Wait(200);
  b.port.PurgeInput();
  b.Send("<RP" + StoredFrames());
  b.Wait(500);
  b.port.PurgeInput();
  return true;
}

void Transfer(Bench& b, const std::vector<uint8_t>& image, UpdateResult& result) {
  b.Wait(100);
  b.port.PurgeInput();
  b.Send("#$%-QMM-2.11-644");
  std::string identification;
  const uint32_t start = b.clock.TickCount();
  bool gotCr = false;
  while (!gotCr && !Elapsed(b.clock.TickCount(), start, 3000)) {
    char byte;
    if (b.port.BytesWaiting() == 0 || b.port.Read(&byte, 1) != 1)
      continue;
    if (byte == '\r') {
      gotCr = true;
    } else if (identification.size() < 100) {
      identification += byte;
    }
  }
  result.identification = identification;
  if (!gotCr || identification != "QMM-2.11-644") {
    result.stage = "version";
    result.reason = gotCr ? "invalid" : "no response";
    return;
  }
  const int ready = WaitByte(b, 2000);
  if (ready != '!') {
    result.stage = "ready";
    result.reason = ready == -1 ? "no response" : "invalid";
    return;
  }
  const size_t pages = image.size() / 256;
  for (size_t page = 0, sends = 0; page < pages;) {
    b.Send(PageFrame(image, page));
    ++result.frameSends;
    const int reply = WaitByte(b, 3000);
    if (reply == '!') {
      ++page;
      sends = 0;
      continue;
    }
    result.stage = "page " + std::to_string(page);
    if (reply == -1) {
      result.reason = "no response";
      return;
    }
    if (reply != '@' || ++sends == 5) {
      result.reason = "invalid";
      return;
    }
  }
  b.Send("\xFF\xFF");
  result.stage = "done";
}

}  // namespace

UpdateResult RunUpdate(Bench& b, const std::vector<uint8_t>& image, const UpdateRun& run) {
  UpdateResult result;
  if (!FindBaseStation(b, result))
    return result;
  b.Send("<RP" + StoredFrames());
  b.Wait(500);
  b.port.PurgeInput();
  result.bootLoaderWaiting = PollBootLoader(b);
  bool configured = result.bootLoaderWaiting;
  if (!configured) {
    b.Wait(1500);
    b.Send("+++");
    b.Wait(1500);
    b.Send("ATAP2\r");
    b.Wait(100);
    b.Send("ATCH0e\r");
    b.Wait(100);
    b.Send("ATCN\r");
    b.Wait(500);
    b.Send(Esc6());
    b.port.PurgeInput();
    const bool reported = ReadReport(b, run, result);
    if (!reported || run.cancelIds.count(result.report["Module ID"]) != 0) {
      // The user gives up, or turns the module down: Cancel Update.
      result.stage = reported ? "cancelled" : "report";
      b.Wait(500);
      b.Send(Esc6() + "<RN" + "<W");
      b.Wait(500);
      b.port.Close();
      return result;
    }
    b.Wait(500);
    b.port.PurgeInput();
    b.Send("<RS");
    configured = ConfigureRadios(b, result);
  }
  if (!configured) {
    b.Send("<W");
    b.Wait(500);
    b.port.Close();
    return result;
  }
  b.Wait(500);
  if (!PollBootLoader(b)) {
    result.stage = "boot loader";
  } else {
    Transfer(b, image, result);
  }
  b.Wait(500);
  b.Send(Esc6() + "<W");
  b.Wait(500);
  b.port.Close();
  return result;
}

}  // namespace simtest
