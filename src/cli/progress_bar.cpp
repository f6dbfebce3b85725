#include "progress_bar.h"

#include <cstdio>

#include "firmware/hex_page_image.h"

std::string FormatProgressBar(const PageProgress& progress, double pagesPerSecond) {
  constexpr int kWidth = 30;
  const int filled = progress.page * kWidth / progress.pages;
  std::string bar(static_cast<std::size_t>(filled), '#');
  bar.append(static_cast<std::size_t>(kWidth - filled), '.');
  char text[160];
  const int percent = progress.page * 100 / progress.pages;
  if (pagesPerSecond < 0) {
    std::snprintf(text, sizeof text, "[%s] page %d of %d %3d%%", bar.c_str(), progress.page,
                  progress.pages, percent);
  } else {
    std::snprintf(text, sizeof text, "[%s] page %d of %d %3d%%  %.1f pages/s (%.0f bytes/s)",
                  bar.c_str(), progress.page, progress.pages, percent, pagesPerSecond,
                  pagesPerSecond * static_cast<double>(kPageSize));
  }
  return text;
}

void TransferRate::PageShown(const PageProgress& progress, uint32_t now) {
  // A new transfer, or page 1 again: start over.
  if (!started_ || progress.page <= lastPage_) {
    started_ = true;
    firstPage_ = lastPage_ = progress.page;
    firstTick_ = lastTick_ = now;
    return;
  }
  lastPage_ = progress.page;
  lastTick_ = now;
}

double TransferRate::PagesPerSecond() const {
  const uint32_t elapsed = lastTick_ - firstTick_;
  if (!started_ || lastPage_ == firstPage_ || elapsed == 0)
    return -1;
  return (lastPage_ - firstPage_) * 1000.0 / elapsed;
}
