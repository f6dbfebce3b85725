#!/usr/bin/env bash
# Makes the Windows release zip (the package target of the Windows build) and unpacks it into
# DEST, a folder whose path has blanks as "Program Files" has; checks that it holds what a
# user needs and that SHA256SUMS covers every file and holds.
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

expected=(KorvaneQuorvantaUpdate.exe kqm-update.exe README.txt NOTICES.txt SHA256SUMS)
[ ! -f "$source_dir/docs/user-guide.md" ] || expected+=(user-guide.md)
for file in "${expected[@]}"; do
  [ -f "$folder/$file" ] && echo "ok: $file" || fail "$zip_name lacks $file"
done
for image in "$source_dir"/docs/user-guide/*.png; do
  [ -e "$image" ] || continue
  [ -f "$folder/user-guide/$(basename "$image")" ] || fail "$zip_name lacks user-guide/$(basename "$image")"
done
grep -q $'\r$' "$folder/README.txt" || fail "README.txt has no Windows line ends"

(cd "$folder" && sha256sum --check --strict --quiet SHA256SUMS) && echo "ok: SHA256SUMS holds" ||
  fail "SHA256SUMS does not hold"
listed=$(cut -c 67- "$folder/SHA256SUMS" | sort)
present=$(cd "$folder" && find . -type f ! -name SHA256SUMS -printf '%P\n' | sort)
[ "$listed" == "$present" ] && echo "ok: SHA256SUMS lists every file" ||
  fail "SHA256SUMS lists $(echo $listed), the zip holds $(echo $present)"
[ "$failures" -eq 0 ]
echo "unpacked into $folder"
