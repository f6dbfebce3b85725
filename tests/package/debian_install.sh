#!/usr/bin/env bash
# Installs the Debian package with dpkg, runs the installed programs (version, man pages, a
# complete update of the simulated module through the installed simulator) and removes the
# package again, also on failure.
#   debian_install.sh PACKAGE.deb VERSION SOURCE_DIR
set -euo pipefail
deb=$(realpath "$1")
version=$2
source_dir=$3

if [ "$(id -u)" -ne 0 ]; then
  echo "skipped: installing a package needs root"
  exit 77
fi
status=$(dpkg-query -W -f='${Status}' kqm-update 2>/dev/null || true)
if [ -n "$status" ] && [ "$status" != "unknown ok not-installed" ]; then
  echo "FAIL: kqm-update is already installed ($status); remove it first (dpkg -r kqm-update)"
  exit 1
fi
trap 'dpkg -r kqm-update >/dev/null 2>&1 || true' EXIT

failures=0
expect() {
  if [ "$2" == "$3" ]; then echo "ok: $1"; else echo "FAIL: $1: got \"$2\", expected \"$3\""; failures=$((failures + 1)); fi
}

dpkg -i "$deb"
dpkg-query -W -f='Depends: ${Depends}\n' kqm-update
expect "kqm-update --version" "$(kqm-update --version)" "kqm-update $version"
expect "the programs are on the PATH" "$(command -v kqm-update tessalink-sim kqm-firmware-bundle | tr '\n' ' ')" \
  "/usr/bin/kqm-update /usr/bin/tessalink-sim /usr/bin/kqm-firmware-bundle "
for page in kqm-update tessalink-sim kqm-firmware-bundle; do
  expect "man -w $page" "$(man -w "$page")" "/usr/share/man/man1/$page.1.gz"
done
# The page shows the program's options; man renders it without complaint.
man_warnings=$(MANWIDTH=80 man --warnings kqm-update 2>&1 >/dev/null || true)
expect "kqm-update man page renders cleanly" "$man_warnings" ""
MANWIDTH=80 man kqm-update 2>/dev/null | grep -q -- '--firmware-dir DIR' ||
  { echo "FAIL: the man page lacks the --firmware-dir option"; failures=$((failures + 1)); }

echo "== a complete update with the installed programs =="
DEMO_PROGRAM_DIR=/usr/bin bash "$source_dir/scripts/demo" || { echo "FAIL: the update"; failures=$((failures + 1)); }

dpkg -r kqm-update
trap - EXIT
expect "programs removed with the package" "$(command -v kqm-update tessalink-sim || true)" ""
[ "$failures" -eq 0 ]
