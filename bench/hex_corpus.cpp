#include "hex_corpus.h"

#include "hex_records.h"

std::vector<uint8_t> LargestImage() {
  CorpusRandom random(20240611);
  std::vector<uint8_t> image(static_cast<std::size_t>(kLargestImagePages) * 256);
  for (auto& byte : image) byte = static_cast<uint8_t>(random.Next() >> 56);
  return image;
}

std::string ImageHex(int pages, int recordSize) {
  const std::vector<uint8_t> image = LargestImage();
  const std::size_t end = static_cast<std::size_t>(pages) * 256;
  std::string text;
  text.reserve(end * 2 + end / static_cast<std::size_t>(recordSize) * 13 + 16);
  for (std::size_t address = 0; address < end; address += static_cast<std::size_t>(recordSize)) {
    const std::size_t stop = std::min(end, address + static_cast<std::size_t>(recordSize));
    const std::vector<uint8_t> data(image.begin() + static_cast<std::ptrdiff_t>(address),
                                    image.begin() + static_cast<std::ptrdiff_t>(stop));
    text += HexRecord(static_cast<unsigned>(address), data);
    text += "\r\n";
  }
  text += HexEndOfFile();
  text += "\r\n";
  return text;
}

std::string LargestImageHex(int recordSize) {
  return ImageHex(kLargestImagePages, recordSize);
}
