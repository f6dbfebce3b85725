#pragma once
#include <cstdint>
#include <string>
#include <vector>

// The firmware the benchmarks convert and send: the largest image the boot loader takes
// (255 pages of 256 bytes), every byte given by a data record, in records of one size.

constexpr int kLargestImagePages = 255;

// The image itself: pseudo-random bytes, the same on every machine.
std::vector<uint8_t> LargestImage();

// That image as an Intel HEX file: data records of `recordSize` bytes (1 to 93) in address
// order, CR LF line ends, upper-case digits, then the end-of-file record.
std::string LargestImageHex(int recordSize);

// The first `pages` pages of the same image as a HEX file (for smaller transfers).
std::string ImageHex(int pages, int recordSize);
