// The paged boot loader transfer: identify the boot loader, wait for its ready byte, send
// the page image page by page with acknowledgements and resends, then the end mark.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "core/message_box.h"
#include "ui/control_ids.h"
#include "ui/firmware_update_dlg.h"
#include "ui/main_dialog_texts.h"
#include "update/link_protocol.h"
#include "update/update_texts.h"

namespace {
enum class Wait { kByte, kTimeout, kFailedRead };

// Polls the channel for one byte until `limit` milliseconds have passed since `start`.
Wait WaitForByte(CSerialPort& port, Clock& clock, uint32_t start, uint32_t limit, uint8_t* byte) {
  while (!Elapsed(clock.TickCount(), start, limit)) {
    if (port.BytesWaiting() == 0)
      continue;
    return port.Read(byte, 1) == 1 ? Wait::kByte : Wait::kFailedRead;
  }
  return Wait::kTimeout;
}

constexpr std::size_t kIdentificationBuffer = 100;
}  // namespace

void CFirmwareUpdateDlg::TransferHexPages() {
  Clock& clock = m_platform.clock;
  m_controls.BeginWaitCursor();
  if (!CheckFirmwareFile()) {
    m_controls.EndWaitCursor();
    m_lastOutcome = UpdateOutcome::kFirmwareFileProblem;
    return;
  }
  const std::string deviceEnd = std::string("Korvane Quorvanta Module") + update_texts::kReasonEnd;
  auto fail = [&](const char* reason) {
    ReportUpdateFailure(reason + deviceEnd);
    m_controls.EndWaitCursor();
    m_lastOutcome = UpdateOutcome::kTransferFailed;
  };

  m_controls.SetText(ids::kBootLoaderVersion, "");
  m_controls.SetText(ids::kProgress, "");
  m_controls.SetText(ids::kResult, "");
  Delay(100);
  m_serialPort.PurgeInput();
  m_serialPort.WriteString(link::kVersionRequest);

  // Identification: exactly "QMM-2.11-644" before the CR. The buffer never overflows: a
  // reply that fills it without a CR cannot be valid.
  char identification[kIdentificationBuffer + 1];
  std::size_t length = 0;
  uint32_t start = clock.TickCount();
  for (;;) {
    uint8_t byte;
    const Wait wait = WaitForByte(m_serialPort, clock, start, 3000, &byte);
    if (wait == Wait::kTimeout)
      return fail(update_texts::kNoResponse);
    if (wait == Wait::kFailedRead || (byte != '\r' && length == kIdentificationBuffer)) {
      return fail(update_texts::kInvalidVersion);
    }
    if (byte == '\r')
      break;
    identification[length++] = static_cast<char>(byte);
  }
  identification[length] = '\0';
  if (length != std::strlen(link::kBootLoaderId) ||
      std::memcmp(identification, link::kBootLoaderId, length) != 0) {
    return fail(update_texts::kInvalidVersion);
  }
  char line[160];
  std::snprintf(line, sizeof line, update_texts::kBootLoaderVersion, identification);
  m_controls.SetText(ids::kBootLoaderVersion, line);

  uint8_t ready;
  const Wait readyWait = WaitForByte(m_serialPort, clock, clock.TickCount(), 2000, &ready);
  if (readyWait == Wait::kTimeout)
    return fail(update_texts::kNoReady);
  if (readyWait == Wait::kFailedRead || ready != link::kReady) {
    return fail(update_texts::kInvalidReady);
  }

  // The page image must be a whole number of pages, one to 255 of them: the count travels
  // in one byte. The build refuses larger images; anything else here is not a page image
  // this transfer could send.
  std::fstream image(PageImagePath(), std::ios::in | std::ios::out | std::ios::binary);
  std::streamoff imageLength = -1;
  if (image) {
    image.seekg(0, std::ios::end);
    imageLength = image.tellg();
    image.seekg(0, std::ios::beg);
  }
  if (!image || imageLength < link::kPageSize || imageLength % link::kPageSize != 0 ||
      imageLength / link::kPageSize > 255) {
    m_controls.SetText(ids::kResult, "");
    m_controls.MessageBox(update_texts::kUnableToOpenPageImage, update_texts::kErrorTitle, mb::kOk);
    m_controls.EndWaitCursor();
    m_lastOutcome = UpdateOutcome::kTransferFailed;
    return;
  }
  const auto pageCount = static_cast<uint8_t>(imageLength / link::kPageSize);

  uint16_t page = 0;
  int sends = 0;
  uint8_t data[link::kPageSize];
  for (;;) {
    if (sends == 0) {
      char progress[64];
      std::snprintf(progress, sizeof progress, update_texts::kSendingPage, page + 1, pageCount);
      m_controls.SetText(ids::kProgress, progress);
      if (page % 8 == 0)
        m_controls.RepaintNow();
      m_controls.DispatchOneMessage();
      image.seekg(static_cast<std::streamoff>(page) * link::kPageSize);
      image.read(reinterpret_cast<char*>(data), link::kPageSize);
    }
    uint8_t checksum = 0;
    for (uint8_t b : data) checksum = static_cast<uint8_t>(checksum + b);
    m_serialPort.WriteByte(static_cast<uint8_t>(page >> 8));
    m_serialPort.WriteByte(static_cast<uint8_t>(page & 0xFF));
    m_serialPort.Write(data, link::kPageSize);
    m_serialPort.WriteByte(checksum);

    uint8_t reply;
    const Wait wait = WaitForByte(m_serialPort, clock, clock.TickCount(), 3000, &reply);
    if (wait == Wait::kTimeout) {
      image.close();
      return fail(update_texts::kNoResponse);
    }
    if (wait == Wait::kByte && reply == link::kPageAccepted) {
      sends = 0;
      if (++page == pageCount)
        break;
      continue;
    }
    if (wait == Wait::kByte && reply == link::kPageAgain && ++sends < link::kMaxPageSends) {
      continue;
    }
    image.close();
    return fail(update_texts::kInvalidReady);
  }

  // The end mark gets no reply; a write that fails is the one sign that it never left, and
  // without it the module does not finish the update.
  const bool endMarkSent =
      m_serialPort.WriteByte(link::kEndMark) && m_serialPort.WriteByte(link::kEndMark);
  image.close();
  if (!endMarkSent)
    return fail(update_texts::kNoResponse);
  m_platform.profile.WriteInt(main_texts::kSettingsSection, main_texts::kComPortEntry,
                              m_serialPort.PortNumber());
  m_controls.SetText(ids::kResult, "");
  m_controls.SetText(ids::kResult, update_texts::kSuccessStatus);
  m_controls.MessageBox(update_texts::kSuccessMessage, update_texts::kCompleteTitle,
                        mb::kIconInformation);
  m_controls.EndWaitCursor();
  m_lastOutcome = UpdateOutcome::kSuccess;
}
