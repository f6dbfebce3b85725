#pragma once

// Message box flags and results, with the values of the Windows API so that the Win32 host
// passes them through unchanged.
namespace mb {
constexpr unsigned kOk = 0x00;
constexpr unsigned kIconExclamation = 0x30;
constexpr unsigned kIconInformation = 0x40;

constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;
}  // namespace mb
