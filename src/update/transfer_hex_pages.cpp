// The paged boot loader transfer: identify the boot loader, wait for its ready byte, send
// the page image page by page with acknowledgements and resends, then the end mark.
#include <cstdio>
#include <cstring>
#include <string>

#include "core/control_ids.h"
#include "core/message_box.h"
#include "firmware/hex_page_image.h"
#include "firmware/page_image_reader.h"
#include "update/link_protocol.h"
#include "update/update_procedure.h"
#include "update/update_texts.h"

namespace update {
namespace {
using update_events::Reply;

struct ByteWait {
  Reply reply = Reply::kTimeout;
  uint8_t byte = 0;
  uint32_t tick = 0;  // when the byte was taken, or the wait ran out
};

// Polls the channel for one byte until `limit` milliseconds have passed since `start`.
ByteWait WaitForByte(UpdateContext& context, uint32_t start, uint32_t limit) {
  ByteWait wait;
  for (;;) {
    wait.tick = context.Now();
    if (Elapsed(wait.tick, start, limit))
      return wait;
    if (context.port.BytesWaiting() == 0)
      continue;
    wait.reply = context.port.Read(&wait.byte, 1) == 1 ? Reply::kByte : Reply::kFailedRead;
    return wait;
  }
}

// How a phase of the transfer ended: nothing wrong (null), or the reason for the report.
using Failure = const char*;

// The identification: bytes up to the CR, at most a buffer's worth. A reply that fills the
// buffer without a CR cannot be valid and ends the wait at once.
update_events::BootLoaderIdentified ReadIdentification(UpdateContext& context, Failure& failure) {
  update_events::BootLoaderIdentified identified;
  const uint32_t start = context.Now();
  for (;;) {
    const ByteWait wait = WaitForByte(context, start, protocol::kBootLoaderIdTimeoutMs);
    identified.tick = wait.tick;
    if (wait.reply == Reply::kTimeout) {
      identified.timedOut = true;
      failure = update_texts::kNoResponse;
      return identified;
    }
    if (wait.reply == Reply::kFailedRead ||
        (wait.byte != protocol::kIdentificationEnd &&
         identified.text.size() == protocol::kBootLoaderIdBuffer)) {
      failure = update_texts::kInvalidVersion;
      return identified;
    }
    if (wait.byte == protocol::kIdentificationEnd)
      break;
    identified.text.push_back(static_cast<char>(wait.byte));
  }
  identified.accepted = identified.text == protocol::kBootLoaderId;
  failure = identified.accepted ? nullptr : update_texts::kInvalidVersion;
  return identified;
}

// Exactly "QMM-2.11-644" before the CR, shown in 1007, then the ready byte.
Failure IdentifyBootLoader(UpdateContext& context) {
  Failure failure = nullptr;
  const update_events::BootLoaderIdentified identified = ReadIdentification(context, failure);
  context.Emit(identified);
  if (failure != nullptr)
    return failure;
  char line[160];
  std::snprintf(line, sizeof line, update_texts::kBootLoaderVersion, identified.text.c_str());
  context.controls.SetText(ids::kBootLoaderVersion, line);

  const ByteWait ready = WaitForByte(context, context.Now(), protocol::kReadyTimeoutMs);
  const bool accepted = ready.reply == Reply::kByte && ready.byte == protocol::kReady;
  context.Emit(update_events::BootLoaderReady{ready.tick, ready.reply, ready.byte, accepted});
  if (ready.reply == Reply::kTimeout)
    return update_texts::kNoReady;
  return accepted ? nullptr : update_texts::kInvalidReady;
}

// How the pages went: all accepted, or the reason for the report, or a page image that
// could not be used (missing, no image the boot loader takes, or a page that cannot be read:
// no garbage is ever sent in its place).
struct PageLoop {
  bool imageUsable = true;
  Failure failure = nullptr;
};

void SendFrame(CSerialPort& port, uint16_t page, const uint8_t* data) {
  uint8_t checksum = 0;
  for (std::size_t i = 0; i < kPageSize; ++i) checksum = static_cast<uint8_t>(checksum + data[i]);
  port.WriteByte(static_cast<uint8_t>(page >> 8));
  port.WriteByte(static_cast<uint8_t>(page & 0xFF));
  port.Write(data, static_cast<int>(kPageSize));
  port.WriteByte(checksum);
}

// Shows the progress line and reads the page, on its first send only.
bool StartPage(UpdateContext& context, PageImageReader& image, uint16_t page, uint8_t* data) {
  char progress[64];
  std::snprintf(progress, sizeof progress, update_texts::kSendingPage, page + 1,
                static_cast<int>(image.PageCount()));
  context.controls.SetText(ids::kProgress, progress);
  if (page % protocol::kRepaintEveryPages == 0)
    context.controls.RepaintNow();
  context.controls.DispatchOneMessage();
  return image.ReadPage(page, data);
}

// Every page, each acknowledged or asked for again, at most five sends of one page.
PageLoop SendPages(UpdateContext& context) {
  PageImageReader image;
  if (!image.Open(context.pageImagePath))
    return {false};
  const int pages = static_cast<int>(image.PageCount());
  uint8_t data[kPageSize];
  uint16_t page = 0;
  int sends = 0;
  for (;;) {
    if (sends == 0 && !StartPage(context, image, page, data))
      return {false};
    SendFrame(context.port, page, data);
    const uint32_t sent = context.Now();
    context.Emit(update_events::PageFrameSent{sent, page, pages, sends + 1});
    const ByteWait wait = WaitForByte(context, sent, protocol::kPageReplyTimeoutMs);
    context.Emit(update_events::PageReplied{wait.tick, page, sends + 1, wait.reply, wait.byte,
                                            wait.tick - sent});
    if (wait.reply == Reply::kTimeout)
      return {true, update_texts::kNoResponse};
    if (wait.reply == Reply::kByte && wait.byte == protocol::kPageAccepted) {
      sends = 0;
      if (++page == pages)
        return {};
      continue;
    }
    if (wait.reply == Reply::kByte && wait.byte == protocol::kPageAgain &&
        ++sends < protocol::kMaxPageSends) {
      continue;
    }
    return {true, update_texts::kInvalidReady};
  }
}

// The end mark gets no reply; a write that fails is the one sign that it never left, and
// without it the module does not finish the update.
bool SendEndMark(UpdateContext& context) {
  const bool written =
      context.port.WriteByte(protocol::kEndMark) && context.port.WriteByte(protocol::kEndMark);
  context.Emit(update_events::EndMarkSent{context.Now(), written});
  return written;
}

UpdateResult Failed(UpdateContext& context, Failure reason) {
  const std::string shown = ReportUpdateFailure(
      context.controls, reason + std::string(update_texts::kDeviceName) + update_texts::kReasonEnd);
  context.controls.EndWaitCursor();
  return {UpdateOutcome::kTransferFailed, shown};
}

// No report for a page image that cannot be used: its own plain box, and 1011 stays empty.
UpdateResult PageImageUnusable(UpdateContext& context) {
  context.controls.SetText(ids::kResult, "");
  context.controls.MessageBox(update_texts::kUnableToOpenPageImage, update_texts::kErrorTitle,
                              mb::kOk);
  context.controls.EndWaitCursor();
  return {UpdateOutcome::kTransferFailed, update_texts::kUnableToOpenPageImage};
}

UpdateResult Succeeded(UpdateContext& context) {
  context.profile.WriteInt(profile::kSettingsSection, profile::kComPortEntry,
                           context.port.PortNumber());
  context.controls.SetText(ids::kResult, "");
  context.controls.SetText(ids::kResult, update_texts::kSuccessStatus);
  context.controls.MessageBox(update_texts::kSuccessMessage, update_texts::kCompleteTitle,
                              mb::kIconInformation);
  context.controls.EndWaitCursor();
  return {UpdateOutcome::kSuccess, update_texts::kSuccessMessage};
}
}  // namespace

UpdateResult TransferHexPages(UpdateContext& context) {
  context.controls.BeginWaitCursor();
  const FirmwareStep checked = context.host.CheckFirmwareFile();
  context.Emit(update_events::FirmwareChecked{context.Now(), checked.passed});
  if (!checked) {
    context.controls.EndWaitCursor();
    return {UpdateOutcome::kFirmwareFileProblem, checked.message};
  }
  context.controls.SetText(ids::kBootLoaderVersion, "");
  context.controls.SetText(ids::kProgress, "");
  context.controls.SetText(ids::kResult, "");
  context.Delay(protocol::kVersionRequestSettleMs);
  context.port.PurgeInput();
  context.port.WriteString(protocol::kVersionRequest);

  if (const Failure failure = IdentifyBootLoader(context))
    return Failed(context, failure);
  const PageLoop loop = SendPages(context);
  if (!loop.imageUsable)
    return PageImageUnusable(context);
  if (loop.failure != nullptr)
    return Failed(context, loop.failure);
  if (!SendEndMark(context))
    return Failed(context, update_texts::kNoResponse);
  return Succeeded(context);
}

}  // namespace update
