#!/usr/bin/env bash
# Installs the Debian package with dpkg and uses it as a newcomer would, from its man pages
# alone: the pages render cleanly (man, mandoc, lexgrog), kqm-update(1)'s SYNOPSIS and EXIT
# STATUS say what the installed program's --help says, and the first example of its EXAMPLES,
# copied from the rendered page and run as an ordinary user, starts the simulator, updates
# the simulated module with the installed sample firmware (a read-only folder to that user)
# and finds the sample's page image in the module. The documents the guide points to are
# installed. Then the package is removed again, also on failure.
#   debian_install.sh PACKAGE.deb VERSION
set -euo pipefail
deb=$(realpath "$1")
version=$2

if [ "$(id -u)" -ne 0 ]; then
  echo "skipped: installing a package needs root"
  exit 77
fi
status=$(dpkg-query -W -f='${Status}' kqm-update 2>/dev/null || true)
if [ -n "$status" ] && [ "$status" != "unknown ok not-installed" ]; then
  echo "FAIL: kqm-update is already installed ($status); remove it first (dpkg -r kqm-update)"
  exit 1
fi

sample=/usr/share/kqm-update/sample
docs=/usr/share/doc/kqm-update
# The fixed paths that the first example of kqm-update(1) uses.
example_files=(/tmp/kqm-sim /tmp/kqm-module.bin)
work=$(mktemp -d)
simulator_pid=""
cleanup() {
  if [ -n "$simulator_pid" ] && kill -0 "$simulator_pid" 2>/dev/null; then
    kill -- "-$simulator_pid" 2>/dev/null || true
    wait "$simulator_pid" 2>/dev/null || true
  fi
  rm -rf "$work" "${example_files[@]}"
  dpkg -r kqm-update >/dev/null 2>&1 || true
}
trap cleanup EXIT
trap 'exit 130' INT TERM

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
expect() {
  if [ "$2" == "$3" ]; then echo "ok: $1"; else fail "$1: got \"$2\", expected \"$3\""; fi
}

# rendered PAGE [SECTION_TITLE]: the page as man shows it on a terminal $columns wide (80),
# or only the body of one of its sections.
rendered() {
  local text
  text=$(MANWIDTH=${columns:-80} LANG=C.UTF-8 man "$1" 2>/dev/null)
  if [ -n "${2:-}" ]; then
    awk -v title="$2" '/^[A-Z]/ { inside = ($0 == title); next } inside' <<<"$text"
  else
    printf '%s\n' "$text"
  fi
}

# The section of kqm-update --help that starts with the line TITLE, up to the next blank line.
help_section() {
  kqm-update --help | awk -v title="$1" '$0 == title { inside = 1; next } inside && /^$/ { exit } inside'
}

check_man_pages() {
  local page
  for page in kqm-update.1 tessalink-sim.1 kqm-firmware-bundle.1 kqm-firmware.5; do
    local file="/usr/share/man/man${page##*.}/$page.gz"
    expect "man -w ${page%.*}" "$(man -w "${page##*.}" "${page%.*}")" "$file"
    expect "man -l $page renders without warnings" \
      "$(MANWIDTH=80 man --warnings -l "$file" 2>&1 >/dev/null)" ""
    expect "mandoc -T lint $page" "$(mandoc -T lint -W warning "$file" 2>&1)" ""
    lexgrog "$file" >/dev/null || fail "lexgrog cannot read the NAME of $page: $(lexgrog "$file")"
  done
  # The synopsis holds the command forms of the help, and nothing else.
  expect "kqm-update(1) SYNOPSIS is the help's usage" \
    "$(rendered kqm-update SYNOPSIS | tr -s ' \n' '  ' | sed 's/^ //; s/ $//')" \
    "$(help_section Usage: | tr -s ' \n' '  ' | sed 's/^ //; s/ $//')"
  expect "kqm-update(1) sections" "$(rendered kqm-update | grep -E '^[A-Z]' | sed -n '2,4p' | tr '\n' ' ')" \
    "NAME SYNOPSIS DESCRIPTION "
  # One line per status: "N meaning", on a terminal wide enough for no word to be hyphenated.
  expect "kqm-update(1) EXIT STATUS is the help's table" \
    "$(columns=250 rendered kqm-update 'EXIT STATUS' | awk '
        /^ +[0-9]+ / { if (entry != "") print entry; entry = $0; next }
        /^ +[^ ]/ { entry = entry " " $0 }
        END { if (entry != "") print entry }' | tr -s ' ' | sed 's/^ //')" \
    "$(help_section 'Exit status:' | tr -s ' ' | sed 's/^ //')"
}

# The commands of the first example of kqm-update(1)'s EXAMPLES, one per line: the lines
# indented as example lines, a line ending in a backslash joined with the next.
first_example_commands() {
  rendered kqm-update EXAMPLES | awk '
    /^   [^ ]/ { subsections++ }
    subsections == 1 && /^           / { print }
  ' | sed -e ':more' -e '/\\$/ { N; s/\\\n */ /; b more' -e '}' | sed 's/^ *//'
}

# "${as_user[@]}" COMMAND: the command run by bash as the user nobody, in a home of its own,
# as the leader of a process group of its own; started in the background directly (not from a
# function, which would run in a subshell), its process ID names the group, so that it is
# stopped with all it started.
as_user=(setsid setpriv --reuid=nobody --regid=nogroup --clear-groups
  env -i -C "$work/home" PATH=/usr/bin:/bin HOME="$work/home" LANG=C.UTF-8 bash -c)

# The simulator in one terminal, the update in another, then the comparison.
run_first_example() {
  local commands=()
  mapfile -t commands < <(first_example_commands)
  printf '  %s\n' "${commands[@]}"
  [ ${#commands[@]} -eq 3 ] || { fail "the first example has ${#commands[@]} commands, not 3"; return; }
  [[ "${commands[0]}" == tessalink-sim* ]] || { fail "the first example does not start the simulator"; return; }
  mkdir -p "$work/home"
  chmod 711 "$work"
  chown nobody "$work/home"
  rm -rf "${example_files[@]}"
  "${as_user[@]}" "${commands[0]}" >"$work/simulator.out" 2>"$work/simulator.err" &
  simulator_pid=$!
  for _ in $(seq 100); do
    [ -s "$work/simulator.out" ] && break
    kill -0 "$simulator_pid" 2>/dev/null || break
    sleep 0.1
  done
  local terminal
  terminal=$(head -n 1 "$work/simulator.out")
  [ -c "$terminal" ] && echo "ok: the simulator printed its terminal $terminal first" ||
    { fail "the simulator printed \"$terminal\": $(cat "$work/simulator.err")"; return; }
  local status=0
  "${as_user[@]}" "timeout 120 ${commands[1]}" </dev/null >"$work/update.out" 2>&1 || status=$?
  expect "the update with the installed sample, as an ordinary user" "$status" 0
  [ "$status" -eq 0 ] || tail -n 8 "$work/update.out"
  for _ in $(seq 100); do
    kill -0 "$simulator_pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$simulator_pid" 2>/dev/null; then
    fail "the simulator did not end after the update"
  else
    wait "$simulator_pid" || true
    simulator_pid=""
  fi
  status=0
  "${as_user[@]}" "${commands[2]}" || status=$?
  expect "the simulated module holds the sample's page image (${commands[2]})" "$status" 0
  expect "nothing written into the sample folder" "$(LC_ALL=C ls -A "$sample" | tr '\n' ' ')" \
    "Korvane_Quorvanta_Mobile_Module.txt README page-image.bin quorvanta_module_3_05.hex "
}

# Installed in /usr/bin, the program reads the firmware of the current directory.
check_firmware_folder() {
  local status=0
  (cd "$sample" && kqm-update check >/dev/null 2>&1) || status=$?
  expect "kqm-update check in the sample folder" "$status" 0
  mkdir -p "$work/empty"
  status=0
  (cd "$work/empty" && kqm-update check >"$work/empty.out" 2>&1) || status=$?
  expect "kqm-update check in a folder without firmware" "$status" 3
  grep -qF "$work/empty" "$work/empty.out" && grep -qF -- --firmware-dir "$work/empty.out" &&
    echo "ok: the message names the folder looked in and --firmware-dir" ||
    fail "the message does not name $work/empty and --firmware-dir: $(cat "$work/empty.out")"
}

# The documents, and every picture the installed user guide shows.
check_documents() {
  local file picture
  for file in README.md copyright docs/user-guide.md docs/console-records.md \
    docs/console-events.schema.json docs/dashboard.md docs/dashboard/line-dashboard.png; do
    [ -f "$docs/$file" ] || fail "$docs/$file is not installed"
  done
  for picture in $(grep -oE '\]\(user-guide/[^)]+\)' "$docs/docs/user-guide.md" | sed 's/^](//; s/)$//'); do
    [ -f "$docs/docs/$picture" ] || fail "the user guide shows $picture, which is not installed"
  done
  # The dashboard's page carries dygraphs, whose licence goes with it.
  grep -q "^License: Expat" "$docs/copyright" && grep -q "dygraphs" "$docs/copyright" ||
    fail "the copyright file lacks the licence of dygraphs, built into kqm-update"
  echo "ok: documents checked"
}

dpkg -i "$deb"
dpkg-query -W -f='Depends: ${Depends}\n' kqm-update
expect "kqm-update --version" "$(kqm-update --version)" "kqm-update $version"
expect "the programs are on the PATH" "$(command -v kqm-update tessalink-sim kqm-firmware-bundle | tr '\n' ' ')" \
  "/usr/bin/kqm-update /usr/bin/tessalink-sim /usr/bin/kqm-firmware-bundle "
check_man_pages
check_documents
check_firmware_folder
echo "== the first example of man kqm-update, as the user nobody =="
run_first_example

dpkg -r kqm-update
expect "programs removed with the package" "$(command -v kqm-update tessalink-sim || true)" ""
expect "nothing left in /usr/share/kqm-update" "$(ls -A /usr/share/kqm-update 2>&1 || true)" \
  "ls: cannot access '/usr/share/kqm-update': No such file or directory"
[ "$failures" -eq 0 ]
