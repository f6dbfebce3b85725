#include "sha256.h"

// clang-format off
#include <windows.h>
#include <bcrypt.h>
// clang-format on

#include <algorithm>

namespace {
// CNG is there from Windows Vista on. bcrypt.dll is loaded when the first digest is asked for,
// not imported, so that the console program still starts on the older 64-bit Windows the
// programs support; there Sha256 has no digest to give.
struct Cng {
  decltype(&BCryptOpenAlgorithmProvider) open = nullptr;
  decltype(&BCryptCloseAlgorithmProvider) close = nullptr;
  decltype(&BCryptCreateHash) create = nullptr;
  decltype(&BCryptHashData) hashData = nullptr;
  decltype(&BCryptFinishHash) finish = nullptr;
  decltype(&BCryptDestroyHash) destroy = nullptr;

  template <typename Function>
  static void Find(HMODULE library, const char* name, Function& function) {
    // Through a plain function pointer type, which converts to any other without a warning.
    function =
        reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
  }
  static const Cng* Loaded() {
    static const Cng cng = [] {
      Cng found;
      if (const HMODULE library = LoadLibraryA("bcrypt.dll")) {
        Find(library, "BCryptOpenAlgorithmProvider", found.open);
        Find(library, "BCryptCloseAlgorithmProvider", found.close);
        Find(library, "BCryptCreateHash", found.create);
        Find(library, "BCryptHashData", found.hashData);
        Find(library, "BCryptFinishHash", found.finish);
        Find(library, "BCryptDestroyHash", found.destroy);
      }
      return found;
    }();
    const bool complete =
        cng.open && cng.close && cng.create && cng.hashData && cng.finish && cng.destroy;
    return complete ? &cng : nullptr;
  }
};

// Closes the provider and the hash however Sha256 ends.
struct CngHash {
  const Cng& cng;
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  BCRYPT_HASH_HANDLE hash = nullptr;
  ~CngHash() {
    if (hash != nullptr)
      cng.destroy(hash);
    if (algorithm != nullptr)
      cng.close(algorithm, 0);
  }
};

bool Succeeded(NTSTATUS status) {
  return status >= 0;
}
}  // namespace

std::optional<Sha256Digest> Sha256(std::span<const std::uint8_t> bytes) {
  const Cng* api = Cng::Loaded();
  if (api == nullptr)
    return std::nullopt;
  CngHash cng{*api};
  if (!Succeeded(api->open(&cng.algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0)) ||
      !Succeeded(api->create(cng.algorithm, &cng.hash, nullptr, 0, nullptr, 0, 0))) {
    return std::nullopt;
  }
  // BCryptHashData takes at most a ULONG's worth at a time.
  constexpr std::size_t kChunk = 1u << 30;
  for (std::size_t offset = 0; offset < bytes.size(); offset += kChunk) {
    const ULONG length = static_cast<ULONG>(std::min(kChunk, bytes.size() - offset));
    if (!Succeeded(api->hashData(cng.hash, const_cast<PUCHAR>(bytes.data() + offset), length, 0)))
      return std::nullopt;
  }
  Sha256Digest digest{};
  if (!Succeeded(api->finish(cng.hash, digest.data(), static_cast<ULONG>(digest.size()), 0)))
    return std::nullopt;
  return digest;
}
