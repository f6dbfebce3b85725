#pragma once
// SHA-256 by the operating system's own crypto: libcrypto's EVP interface on Linux, CNG on
// Windows. Only the console program links it (library fwreport), so the dialog program
// imports nothing new.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

using Sha256Digest = std::array<std::uint8_t, 32>;

// Empty when the platform's crypto fails: a failure is never passed off as a digest.
std::optional<Sha256Digest> Sha256(std::span<const std::uint8_t> bytes);

// The digest in lower-case hexadecimal, 64 characters.
inline std::string Sha256Hex(const Sha256Digest& digest) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(digest.size() * 2);
  for (const std::uint8_t byte : digest) {
    text += kDigits[byte >> 4];
    text += kDigits[byte & 0x0F];
  }
  return text;
}
