// The paged boot loader transfer: identify the boot loader, wait for its ready byte, send
// the page image page by page with acknowledgements and resends, then the end mark.
#include <cstdio>
#include <cstring>
#include <string>

#include "core/device_names.h"
#include "core/message_box.h"
#include "firmware/hex_page_image.h"
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

// Waits for one byte until `limit` milliseconds have passed since `start`.
ByteWait WaitForByte(LinkContext& link, uint32_t start, uint32_t limit) {
  ByteWait wait;
  for (;;) {
    wait.tick = link.Now();
    if (Elapsed(wait.tick, start, limit))
      return wait;
    if (link.port.BytesWaiting() == 0) {
      link.port.WaitForInput(Remaining(wait.tick, start, limit));
      continue;
    }
    wait.reply = link.port.Read(&wait.byte, 1) == 1 ? Reply::kByte : Reply::kFailedRead;
    return wait;
  }
}

// How a phase of the transfer ended: nothing wrong (null), or the reason for the report.
using Failure = const char*;

// The identification: bytes up to the CR, at most a buffer's worth. A reply that fills the
// buffer without a CR cannot be valid and ends the wait at once.
update_events::BootLoaderIdentified ReadIdentification(LinkContext& link, Failure& failure) {
  update_events::BootLoaderIdentified identified;
  const uint32_t start = link.Now();
  for (;;) {
    const ByteWait wait = WaitForByte(link, start, protocol::kBootLoaderIdTimeoutMs);
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

// Exactly "QMM-2.11-644" before the CR, shown as the boot loader version, then the ready byte.
Failure IdentifyBootLoader(LinkContext& link, UpdatePresenter& presenter) {
  Failure failure = nullptr;
  const update_events::BootLoaderIdentified identified = ReadIdentification(link, failure);
  link.Emit(identified);
  if (failure != nullptr)
    return failure;
  char line[160];
  std::snprintf(line, sizeof line, update_texts::kBootLoaderVersion, identified.text.c_str());
  presenter.ShowBootLoaderVersion(line);

  const ByteWait ready = WaitForByte(link, link.Now(), protocol::kReadyTimeoutMs);
  const bool accepted = ready.reply == Reply::kByte && ready.byte == protocol::kReady;
  link.Emit(update_events::BootLoaderReady{ready.tick, ready.reply, ready.byte, accepted});
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
bool StartPage(UpdatePresenter& presenter, PageImageStore& image, uint16_t page, uint8_t* data) {
  const int pages = static_cast<int>(image.PageCount());
  char progress[64];
  std::snprintf(progress, sizeof progress, update_texts::kSendingPage, page + 1, pages);
  presenter.ShowPageProgress(page + 1, pages, progress);
  return image.ReadPage(page, data);
}

// Every page, each acknowledged or asked for again, at most five sends of one page.
PageLoop SendPages(LinkContext& link, UpdatePresenter& presenter, PageImageStore& image) {
  if (!image.OpenForTransfer())
    return {false};
  const int pages = static_cast<int>(image.PageCount());
  uint8_t data[kPageSize];
  uint16_t page = 0;
  int sends = 0;
  for (;;) {
    if (sends == 0 && !StartPage(presenter, image, page, data))
      return {false};
    // Only one reply belongs to a frame: anything already waiting is stale, and taken for this
    // frame's reply it would leave every later reply one frame behind.
    const int discarded = link.port.DiscardWaiting();
    SendFrame(link.port, page, data);
    const uint32_t sent = link.Now();
    link.Emit(update_events::PageFrameSent{sent, page, pages, sends + 1, discarded});
    const ByteWait wait = WaitForByte(link, sent, protocol::kPageReplyTimeoutMs);
    link.Emit(update_events::PageReplied{wait.tick, page, sends + 1, wait.reply, wait.byte,
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
bool SendEndMark(LinkContext& link) {
  const bool written =
      link.port.WriteByte(protocol::kEndMark) && link.port.WriteByte(protocol::kEndMark);
  link.Emit(update_events::EndMarkSent{link.Now(), written});
  return written;
}

UpdateResult Ended(UpdateOutcome outcome, std::string message) {
  UpdateResult result;
  result.outcome = outcome;
  result.message = std::move(message);
  result.stage = UpdateStage::kTransfer;
  return result;
}

UpdateResult Failed(UpdatePresenter& presenter, Failure reason) {
  return Ended(UpdateOutcome::kTransferFailed,
               ReportUpdateFailure(presenter, reason + std::string(device_names::kModule) +
                                                  update_texts::kReasonEnd));
}

// No report for a page image that cannot be used: its own plain box, and the result line is
// only cleared.
UpdateResult PageImageUnusable(UpdatePresenter& presenter) {
  presenter.ShowFailure(
      {UpdateFailure::Kind::kPageImage,
       "",
       {update_texts::kUnableToOpenPageImage, update_texts::kErrorTitle, mb::kOk}});
  return Ended(UpdateOutcome::kTransferFailed, update_texts::kUnableToOpenPageImage);
}

UpdateResult Succeeded(LinkContext& link, UpdatePresenter& presenter) {
  presenter.ShowSuccess(
      link.port.PortNumber(), update_texts::kSuccessStatus,
      {update_texts::kSuccessMessage, update_texts::kCompleteTitle, mb::kIconInformation});
  return Ended(UpdateOutcome::kSuccess, update_texts::kSuccessMessage);
}
}  // namespace

UpdateResult TransferHexPages(LinkContext& link, UpdatePresenter& presenter, const UpdateJob& job) {
  std::string problem;
  const bool checked = CheckFirmwareFile(presenter, job.firmware, problem);
  link.Emit(update_events::FirmwareChecked{link.Now(), checked});
  if (!checked)
    return Ended(UpdateOutcome::kFirmwareFileProblem, problem);
  presenter.ClearStatus();
  link.Pause(protocol::kVersionRequestSettleMs);
  link.port.PurgeInput();
  link.port.WriteString(protocol::kVersionRequest);

  if (const Failure failure = IdentifyBootLoader(link, presenter))
    return Failed(presenter, failure);
  const PageLoop loop = SendPages(link, presenter, job.pageImage);
  if (!loop.imageUsable)
    return PageImageUnusable(presenter);
  if (loop.failure != nullptr)
    return Failed(presenter, loop.failure);
  if (!SendEndMark(link))
    return Failed(presenter, update_texts::kNoResponse);
  return Succeeded(link, presenter);
}

}  // namespace update
