#pragma once
#include <string>
#include <string_view>

#include "firmware/hex_page_image.h"

// Why a HEX file is refused, for the check command: "line 7: checksum expected 3C, found
// 3D" — the line and the reason at which the page image conversion stopped. Empty when the
// conversion accepts the file.
std::string DiagnoseHexText(std::string_view text);
// The same for the problem a conversion found.
std::string DescribeHexProblem(const HexProblem& problem);
