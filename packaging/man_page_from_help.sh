#!/bin/sh
# Writes a program's man page (roff, gzip-compressed) from what the program prints for --help,
# so the page cannot say anything else than the program does.
#   man_page_from_help.sh NAME VERSION SUMMARY OUTPUT COMMAND [ARGUMENTS...]
# Layout rules: the usage lines become the synopsis; a line at the left margin that ends in a
# colon ("Options:", "Exit status:") starts a section; all other text keeps its line breaks and
# indentation.
set -eu
name=$1
version=$2
summary=$3
output=$4
shift 4

# Some programs print their help on standard error, or end it with a usage status.
help=$("$@" --help 2>&1 || true)
[ -n "$help" ] || { echo "$name --help printed nothing" >&2; exit 1; }
page="$output.tmp"
{
  printf '.TH "%s" "1" "" "%s %s" "User Commands"\n' \
    "$(echo "$name" | tr '[:lower:]' '[:upper:]')" "$name" "$version"
  printf '.SH NAME\n%s \\- %s\n' "$name" "$summary"
  printf '%s\n' "$help" | awk -v name="$name" '
    function roff(text) {
      gsub(/\\/, "\\e", text)
      gsub(/-/, "\\-", text)
      if (text ~ /^[.'\'']/) text = "\\&" text
      return text
    }
    function open_section(title) {
      if (in_text) print ".fi"
      print ".SH " toupper(title)
      print ".nf"
      in_text = 1
      last_was_title = 1
    }
    BEGIN { state = "start" }
    # The usage lines: "usage: NAME ..." or "Usage:" followed by indented "NAME ..." lines.
    state == "start" && tolower($0) ~ /^usage:/ {
      print ".SH SYNOPSIS"
      print ".nf"
      in_text = 1
      rest = $0
      sub(/^[Uu]sage:[ ]*/, "", rest)
      if (rest != "") print roff(rest)
      state = "synopsis"
      next
    }
    state == "synopsis" {
      line = $0
      sub(/^[ ]+/, "", line)
      if (index(line, name) == 1) { print roff(line); next }
      state = "body"
      if ($0 == "") { open_section("Description"); next }
      if ($0 !~ /^[A-Za-z][^:]*:$/) open_section("Options")
    }
    state == "start" { state = "body"; open_section("Description") }
    /^[A-Za-z][^:]*:$/ { open_section(substr($0, 1, length($0) - 1)); next }
    # A blank line right after a section title adds nothing.
    $0 == "" && last_was_title { next }
    { print roff($0); last_was_title = 0 }
    END { if (in_text) print ".fi" }
  '
} >"$page"
gzip -9n <"$page" >"$output"
rm -f "$page"
