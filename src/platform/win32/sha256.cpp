#include "sha256.h"

// clang-format off
#include <windows.h>
#include <bcrypt.h>
// clang-format on

#include <algorithm>

namespace {
// Closes the provider and the hash however Sha256 ends.
struct CngHash {
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  BCRYPT_HASH_HANDLE hash = nullptr;
  ~CngHash() {
    if (hash != nullptr)
      BCryptDestroyHash(hash);
    if (algorithm != nullptr)
      BCryptCloseAlgorithmProvider(algorithm, 0);
  }
};

bool Succeeded(NTSTATUS status) {
  return status >= 0;
}
}  // namespace

std::optional<Sha256Digest> Sha256(std::span<const std::uint8_t> bytes) {
  CngHash cng;
  if (!Succeeded(
          BCryptOpenAlgorithmProvider(&cng.algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0)) ||
      !Succeeded(BCryptCreateHash(cng.algorithm, &cng.hash, nullptr, 0, nullptr, 0, 0))) {
    return std::nullopt;
  }
  // BCryptHashData takes at most a ULONG's worth at a time.
  constexpr std::size_t kChunk = 1u << 30;
  for (std::size_t offset = 0; offset < bytes.size(); offset += kChunk) {
    const ULONG length = static_cast<ULONG>(std::min(kChunk, bytes.size() - offset));
    if (!Succeeded(BCryptHashData(cng.hash, const_cast<PUCHAR>(bytes.data() + offset), length, 0)))
      return std::nullopt;
  }
  Sha256Digest digest{};
  if (!Succeeded(BCryptFinishHash(cng.hash, digest.data(), static_cast<ULONG>(digest.size()), 0)))
    return std::nullopt;
  return digest;
}
