#pragma once
#include <string>
#include <string_view>

// Why a HEX file is refused, for the check command: "line 7: checksum expected 3C, found
// 3D" — the line and the reason at which the page image conversion stopped. Empty when the
// conversion accepts the file.
std::string DiagnoseHexText(std::string_view text);
// The same for a file; empty too when the file cannot be read.
std::string DiagnoseHexFile(const std::string& path);
