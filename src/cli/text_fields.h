#pragma once
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

// How the console writes texts into records and event lines.

// Bytes from the devices as UTF-8, each byte the character of the same code (ISO 8859-1), so
// any byte, even one that is not text, keeps its value and the line stays valid JSON.
std::string Utf8FromBytes(std::string_view bytes);

// "2024-05-17T09:41:07.125Z": UTC, milliseconds.
std::string IsoUtcTime(std::chrono::system_clock::time_point time);

// "9.7 s": milliseconds as seconds with one decimal.
std::string SecondsText(uint32_t milliseconds);

// "2.5", "30", "0.125": milliseconds as seconds with as many decimals as they need.
std::string DecimalSeconds(uint32_t milliseconds);

// One CSV field: quoted (quotes doubled) when it holds a comma, a quote, CR or LF, or begins
// or ends with a blank, as the failure messages do.
std::string CsvField(std::string_view text);
