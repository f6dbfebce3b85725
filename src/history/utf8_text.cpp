#include "utf8_text.h"

namespace history {

namespace {

// The length of the sequence a lead byte starts and the bits it contributes; 0 when it
// starts none.
std::size_t SequenceLength(unsigned char lead, char32_t& bits) {
  if (lead < 0x80) {
    bits = lead;
    return 1;
  }
  if (lead >= 0xC2 && lead <= 0xDF) {
    bits = lead & 0x1F;
    return 2;
  }
  if (lead >= 0xE0 && lead <= 0xEF) {
    bits = lead & 0x0F;
    return 3;
  }
  if (lead >= 0xF0 && lead <= 0xF4) {
    bits = lead & 0x07;
    return 4;
  }
  return 0;
}

}  // namespace

bool NextCodePoint(std::string_view text, std::size_t& at, char32_t& codePoint) {
  if (at >= text.size()) {
    return false;
  }
  char32_t value = 0;
  const std::size_t length = SequenceLength(static_cast<unsigned char>(text[at]), value);
  if (length == 0 || text.size() - at < length) {
    return false;
  }
  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(text[at + i]);
    if ((next & 0xC0) != 0x80) {
      return false;
    }
    value = (value << 6) | (next & 0x3F);
  }
  static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (value < kSmallest[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
    return false;
  }
  codePoint = value;
  at += length;
  return true;
}

void AppendUtf8(std::string& out, char32_t codePoint) {
  if (codePoint < 0x80) {
    out += static_cast<char>(codePoint);
  } else if (codePoint < 0x800) {
    out += static_cast<char>(0xC0 | (codePoint >> 6));
    out += static_cast<char>(0x80 | (codePoint & 0x3F));
  } else if (codePoint < 0x10000) {
    out += static_cast<char>(0xE0 | (codePoint >> 12));
    out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (codePoint & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (codePoint >> 18));
    out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (codePoint & 0x3F));
  }
}

std::string StorableText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t start = at;
    char32_t codePoint = 0;
    if (!NextCodePoint(text, at, codePoint)) {
      codePoint = static_cast<unsigned char>(text[at++]);
    }
    if (codePoint == 0) {
      AppendUtf8(out, 0xFFFD);
    } else if (at - start > 1 || codePoint < 0x80) {
      out.append(text.substr(start, at - start));
    } else {
      AppendUtf8(out, codePoint);
    }
  }
  return out;
}

}  // namespace history
