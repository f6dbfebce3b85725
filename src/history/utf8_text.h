#pragma once
#include <cstddef>
#include <string>
#include <string_view>

// UTF-8 as the history keeps it and shows it: texts from devices are untrusted bytes.
namespace history {

// The code point of the valid UTF-8 sequence at `at` (shortest form, no surrogates, at most
// U+10FFFF), moving `at` past it; false, with `at` unchanged, when the bytes there are not one.
bool NextCodePoint(std::string_view text, std::size_t& at, char32_t& codePoint);

void AppendUtf8(std::string& out, char32_t codePoint);

// The text as stored: valid UTF-8 stays as it is; a byte that starts no valid sequence becomes
// the character of the same code (ISO 8859-1), and NUL becomes U+FFFD.
std::string StorableText(std::string_view text);

}  // namespace history
