#!/usr/bin/env bash
# Makes the Windows release zip (the package target of the Windows build) and unpacks it into
# DEST, a folder whose path has blanks as "Program Files" has; checks that it holds what a
# user needs and no firmware, that every text in it has Windows line ends, that the user
# guide is HTML without the maintainers' chapter, and that SHA256SUMS covers every file and
# holds. (The wine.zip_ scenarios open the guide in a browser.)
#   windows_zip.sh WIN64_BUILD_DIR ZIP_NAME DEST SOURCE_DIR
set -euo pipefail
build=$1
zip_name=$2
dest=$3
source_dir=$4

cmake --build "$build" --target package >/dev/null
rm -rf "$dest"
mkdir -p "$dest"
unzip -q "$build/$zip_name" -d "$dest"
folder="$dest/${zip_name%.zip}"

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

expected=(KorvaneQuorvantaUpdate.exe kqm-update.exe README.txt NOTICES.txt SHA256SUMS
  user-guide.html console-records.html console-events.schema.json)
for file in "${expected[@]}"; do
  [ -f "$folder/$file" ] && echo "ok: $file" || fail "$zip_name lacks $file"
done
for image in "$source_dir"/docs/user-guide/*.png; do
  [ -e "$image" ] || continue
  [ -f "$folder/user-guide/$(basename "$image")" ] || fail "$zip_name lacks user-guide/$(basename "$image")"
done
# The utility alone: a firmware beside the dialog program would be sent to a real module.
firmware=$(cd "$folder" && find . -iname '*.hex' -o -iname 'Korvane_Quorvanta_Mobile_Module.txt' -o -iname '*.md')
[ -z "$firmware" ] && echo "ok: no firmware and no Markdown in the zip" || fail "$zip_name holds $firmware"
grep -q 'holds the update utility' "$folder/README.txt" && grep -q 'kqm-firmware-bundle' "$folder/README.txt" &&
  echo "ok: README.txt says what the zip is and how a firmware release is made" ||
  fail "README.txt does not say that the zip holds no firmware and how a firmware release is made"
# Every text file: CR LF and no line feed alone.
while IFS= read -r -d '' text; do
  if grep -q $'[^\r]$' "$text" || grep -q '^$' "$text"; then
    fail "${text#"$folder"/} has lines ended by a line feed alone"
  fi
done < <(find "$folder" -type f ! -name '*.exe' ! -name '*.png' -print0)
echo "ok: text files checked for CR LF line ends"
grep -q -i 'for maintainers' "$folder/user-guide.html" &&
  fail "user-guide.html holds the maintainers' chapter" || echo "ok: no maintainers' chapter"

(cd "$folder" && sha256sum --check --strict --quiet SHA256SUMS) && echo "ok: SHA256SUMS holds" ||
  fail "SHA256SUMS does not hold"
listed=$(tr -d '\r' <"$folder/SHA256SUMS" | cut -c 67- | sort)
present=$(cd "$folder" && find . -type f ! -name SHA256SUMS -printf '%P\n' | sort)
[ "$listed" == "$present" ] && echo "ok: SHA256SUMS lists every file" ||
  fail "SHA256SUMS lists $(echo $listed), the zip holds $(echo $present)"
[ "$failures" -eq 0 ]
echo "unpacked into $folder"
