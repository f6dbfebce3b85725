#!/usr/bin/env bash
# The firmware bundle script as it is shipped (from the Linux .tar.gz, beside its kqm-update)
# on the Windows release zip: a valid firmware makes a complete zip named after the firmware
# and the program version; an invalid HEX file, an image of more than 255 pages and other bad
# inputs are refused with their reason and leave no zip behind; an existing zip is replaced
# only with --force.
#   firmware_bundle.sh TAR_GZ WINDOWS_ZIP SAMPLE_FIRMWARE_DIR PROGRAM_VERSION
set -euo pipefail
tarball=$(realpath "$1")
windows_zip=$(realpath "$2")
sample=$(realpath "$3")
program_version=$4

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
tar -xzf "$tarball" -C "$work"
bundle_script=$(echo "$work"/*/bin/kqm-firmware-bundle)
[ -x "$bundle_script" ] || { echo "FAIL: no bin/kqm-firmware-bundle in $tarball"; exit 1; }

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# check_no_overwrite OUT ZIP: the same bundle again leaves the existing ZIP as it is; with
# --force it is replaced.
check_no_overwrite() {
  printf 'an older bundle\n' >"$2"
  local status=0
  "$bundle_script" --output-dir "$1" "$windows_zip" 3.05 "$hex" >/dev/null 2>"$work/stderr" || status=$?
  if [ "$status" == 1 ] && grep -q 'exists already' "$work/stderr" &&
    [ "$(cat "$2")" == "an older bundle" ] && [ "$(ls -A "$1")" == "$(basename "$2")" ]; then
    echo "ok: an existing bundle is left as it is: $(cat "$work/stderr")"
  else
    fail "existing bundle: exit status $status, said: $(cat "$work/stderr"); left $(ls -A "$1")"
  fi
  "$bundle_script" --force --output-dir "$1" "$windows_zip" 3.05 "$hex" >/dev/null &&
    unzip -tq "$2" >/dev/null && echo "ok: --force replaces it" || fail "--force did not replace $2"
}

# The inputs: the sample firmware, the same with a bad checksum in line 3, and one data byte
# at 0xFF00, which makes an image of 256 pages.
hex="$sample/quorvanta_module_3_05.hex"
mkdir -p "$work/in"
sed '3s/02BB/02BC/' "$hex" >"$work/in/bad_checksum.hex"
printf ':01FF00000000\r\n:00000001FF\r\n' >"$work/in/oversized.hex"
cp "$hex" "$work/in/Hex.tmp"
printf 'not a zip\n' >"$work/in/not_a_release.zip"

# name | arguments (separated by ;) | exit status | what the error must say
cases=(
  "invalid HEX file|$windows_zip;3.05;$work/in/bad_checksum.hex|1|bad_checksum.hex: line 3: checksum expected"
  "image of 256 pages|$windows_zip;3.05;$work/in/oversized.hex|1|more than 255 pages"
  "version unfit for a file name|$windows_zip;3.05/beta;$hex|1|letters, digits"
  "HEX file named as the page image|$windows_zip;3.05;$work/in/Hex.tmp|1|cannot be called Hex.tmp"
  "not the release zip|$work/in/not_a_release.zip;3.05;$hex|1|is not a zip file"
  "missing HEX file|$windows_zip;3.05;$work/in/missing.hex|1|cannot read the HEX file"
)
for case in "${cases[@]}"; do
  IFS='|' read -r name arguments expected_status message <<<"$case"
  out="$work/out-$RANDOM"
  mkdir -p "$out"
  IFS=';' read -r -a arguments <<<"$arguments"
  status=0
  "$bundle_script" --output-dir "$out" "${arguments[@]}" >"$work/stdout" 2>"$work/stderr" ||
    status=$?
  if [ "$status" != "$expected_status" ] || ! grep -qF -- "$message" "$work/stderr"; then
    fail "$name: exit status $status, said: $(cat "$work/stderr")"
  elif [ -n "$(ls -A "$out")" ]; then
    fail "$name: left $(ls -A "$out") behind"
  else
    echo "ok: $name refused: $(grep -F -- "$message" "$work/stderr" | head -n 1 | sed 's/^ *//')"
  fi
done

# A valid firmware: the program's files, the description file, the HEX file, checksums.
out="$work/valid"
mkdir -p "$out"
"$bundle_script" --output-dir "$out" "$windows_zip" 3.05 "$hex" || fail "valid firmware refused"
name="KorvaneQuorvanta-firmware-3.05-program-$program_version"
zip="$out/$name.zip"
if [ -f "$zip" ]; then
  unzip -q "$zip" -d "$work/unpacked"
  folder="$work/unpacked/$name"
  for file in KorvaneQuorvantaUpdate.exe kqm-update.exe README.txt NOTICES.txt \
    Korvane_Quorvanta_Mobile_Module.txt quorvanta_module_3_05.hex SHA256SUMS; do
    [ -f "$folder/$file" ] || fail "the bundle lacks $file"
  done
  printf '3.05\r\nquorvanta_module_3_05.hex\r\n' | cmp -s - "$folder/Korvane_Quorvanta_Mobile_Module.txt" ||
    fail "description file: $(od -An -c "$folder/Korvane_Quorvanta_Mobile_Module.txt")"
  cmp -s "$hex" "$folder/quorvanta_module_3_05.hex" || fail "the HEX file was changed"
  [ ! -e "$folder/Hex.tmp" ] || fail "Hex.tmp left in the bundle"
  (cd "$folder" && sha256sum --check --strict --quiet SHA256SUMS) || fail "SHA256SUMS does not hold"
  [ "$(wc -l <"$folder/SHA256SUMS")" -eq "$(find "$folder" -type f ! -name SHA256SUMS | wc -l)" ] ||
    fail "SHA256SUMS does not list every file"
  [ "$(ls -A "$out")" == "$name.zip" ] || fail "left behind: $(ls -A "$out")"
  [ "$failures" -eq 0 ] && echo "ok: valid firmware bundled in $(basename "$zip")"
  check_no_overwrite "$out" "$zip"
else
  fail "no $(basename "$zip") written"
fi
[ "$failures" -eq 0 ]
