#pragma once
#include <string>
#include <string_view>

// Why a HEX file is refused, for the check command: "line 7: checksum expected 3C, found
// 3D". It walks the records the way the page image conversion reads them (the same line
// reader, the same order of checks) and names the first record that conversion would stop
// at. Empty when it finds nothing wrong.
std::string DiagnoseHexText(std::string_view text);
// The same for a file; empty too when the file cannot be read.
std::string DiagnoseHexFile(const std::string& path);
