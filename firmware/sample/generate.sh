#!/usr/bin/env bash
# Makes the sample firmware used by scripts/demo, the console tests and the Linux packages
# (/usr/share/kqm-update/sample): a description file, an Intel HEX file of about 8 KB, and
# page-image.bin, the 13 pages that a module holds after an update with it, made by srecord's
# srec_cat (Debian package srecord) rather than by the program it checks. The content is made
# up and deterministic, so running this again gives the same bytes; the files are committed.
set -euo pipefail
cd "$(dirname "$0")"

version="3.05"
hex="quorvanta_module_3_05.hex"

printf '%s\r\n%s\r\n' "$version" "$hex" > Korvane_Quorvanta_Mobile_Module.txt

# Decimal constants only: not every awk reads 0x numbers.
awk -v version="$version" '
function emit(address, count,    line, sum, i) {
  line = sprintf(":%02X%04X00", count, address)
  sum = count + int(address / 256) + address % 256
  for (i = 0; i < count; i++) {
    line = line sprintf("%02X", data[address + i])
    sum += data[address + i]
  }
  printf "%s%02X\r\n", line, (256 - sum % 256) % 256
}
# Records of 16 bytes from first to last, the last one shorter when it comes out so.
function block(first, last,    address, count) {
  for (address = first; address <= last; address += 16) {
    count = last - address + 1
    if (count > 16) count = 16
    emit(address, count)
  }
}
END {
  for (c = 32; c < 127; c++) code[sprintf("%c", c)] = c
  # 0x0000-0x00FF: 64 interrupt vectors, each a jump (0C 94 lo hi) to its handler.
  for (v = 0; v < 64; v++) {
    target = 256 + v * 24
    data[v * 4] = 12; data[v * 4 + 1] = 148
    data[v * 4 + 2] = target % 256; data[v * 4 + 3] = int(target / 256)
  }
  # 0x0100-0x0A3F: a fixed pseudo-random sequence standing in for the code.
  x = 2024
  for (a = 256; a < 2624; a++) { x = (x * 75 + 74) % 65537; data[a] = x % 256 }
  # 0x0C00-0x0C7F: the identification block, after an erased gap (0xFF in the image).
  text = "Korvane Quorvanta Mobile Module application firmware " version " (sample build)"
  for (a = 3072; a < 3200; a++) {
    i = a - 3072
    data[a] = i < length(text) ? code[substr(text, i + 1, 1)] : 0
  }
  block(0, 255)
  block(256, 2623)
  block(3072, 3199)
  printf ":00000001FF\r\n"
}
' /dev/null > "$hex"
# Addresses 0 to 3199 hold data: 13 pages, the gaps and the rest of the last page 0xFF.
srec_cat "$hex" -intel -fill 0xFF 0 3328 -o page-image.bin -binary
echo "wrote Korvane_Quorvanta_Mobile_Module.txt, $hex and page-image.bin"
