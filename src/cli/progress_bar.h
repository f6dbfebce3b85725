#pragma once
#include <cstdint>
#include <string>

// A page of the transfer, counted from 1, and the pages in all.
struct PageProgress {
  int page = 0;
  int pages = 0;
};

// One line of a terminal progress bar: the bar, the page, the percentage of pages handed to
// the module, and the rate once there is one (negative: not known yet).
std::string FormatProgressBar(const PageProgress& progress, double pagesPerSecond);

// Pages per second over the pages completed since the first page was shown.
class TransferRate {
 public:
  // Called whenever a page is shown for the first time, with the current tick count.
  void PageShown(const PageProgress& progress, uint32_t now);
  // Negative until two pages have been shown.
  double PagesPerSecond() const;

 private:
  bool started_ = false;
  int firstPage_ = 0;
  uint32_t firstTick_ = 0;
  int lastPage_ = 0;
  uint32_t lastTick_ = 0;
};
