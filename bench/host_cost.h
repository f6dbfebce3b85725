#pragma once
#include <memory>

// The program's own work per page of a transfer: TransferHexPages with the console's status
// output, against a boot loader that answers every request at once and costs nothing, on
// virtual time. What is left is the host's cost: the progress line, the page read from the
// page image, the frame, the checksum and the polling for the reply.
class HostCostBench {
 public:
  // `terminal`: the progress line is a bar rewritten in place (standard output is a
  // terminal) rather than one line per page.
  HostCostBench(int pages, bool terminal);
  ~HostCostBench();
  HostCostBench(const HostCostBench&) = delete;
  HostCostBench& operator=(const HostCostBench&) = delete;

  // One transfer of every page; false unless the boot loader got them all and the end mark.
  bool Transfer();
  int Pages() const { return pages_; }

 private:
  struct Parts;
  int pages_;
  std::unique_ptr<Parts> parts_;
};
