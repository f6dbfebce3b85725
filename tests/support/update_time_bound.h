#pragma once
#include <cstdint>

// The longest an update (Begin Update to its return) may take on the virtual clock, the time
// the user spends in the control-parameter dialog apart: every pause taken, every wait run
// out to its limit, and every inter-byte time-out restarted by as many bytes as its read
// takes. It is the sum over every step, so more than any one road through the update needs;
// a run beyond it has waited longer than the update's time-outs allow.
inline uint32_t UpdateTimeBoundMs(int pages) {
  const uint32_t search = 6 * (1000 + 500 + 2000);  // borrow pause, settle, identification
  const uint32_t firstPoll = 500 + 500;
  const uint32_t commandMode = 1500 + 1500 + 100 + 100 + 500;
  const uint32_t rows = 500 + 2 * 9 * 3000  // rows 1 and 2: 9 bytes, 3000 ms apart at most
                        + 16 * 500          // row 3: 15 characters and the byte after them
                        + 2 * 13 * 3000     // rows 4 and 5: 13 bytes
                        + 4 * 9 * 3000      // rows 6 to 9
                        + 200 + 500;
  const uint32_t failedConfiguration = 500;
  const uint32_t secondPoll = 500 + 500 + 500 + 500;
  const uint32_t transfer = 100 + 3000 + 2000 + static_cast<uint32_t>(pages) * 5 * 3000;
  const uint32_t restore = 500 + 500;
  return search + firstPoll + commandMode + rows + failedConfiguration + secondPoll + transfer +
         restore;
}
