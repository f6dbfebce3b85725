#!/bin/sh
# Writes a man page (roff, gzip-compressed) from its source in packaging/man/ and, for a
# program, from what the program prints for --help, so the page cannot say anything else
# about the options and the exit status than the program does.
#   man_page_from_help.sh SOURCE VERSION DATE OUTPUT [COMMAND [ARGUMENTS...]]
# In SOURCE, @VERSION@ and @DATE@ are replaced, and these lines, alone on their line, take
# the parts of the help:
#   @SYNOPSIS@     the usage lines, one synopsis entry per command form
#   @DESCRIPTION@  the text between the usage lines and the first section
#   @SECTIONS@     every section but the exit status, each under its own heading
#   @EXIT_STATUS@  the lines of the section "Exit status:"
# A part of the help that the source does not place, or an exit status marker without such a
# section, is an error: nothing the program says is silently left out.
# What the help must look like: a section starts with a line at the left margin that ends in a
# colon; an option (or other term) is an indented line that starts with "-", or an indented
# term, two blanks and its text; its text goes on in the lines indented further. Any other
# line is running text. Exit status lines are "<blanks><number><two blanks><meaning>".
set -eu
source=$1
version=$2
date=$3
output=$4
shift 4

help=""
if [ $# -gt 0 ]; then
  # Some programs print their help on standard error, or end it with a usage status.
  help=$("$@" --help 2>&1 || true)
  [ -n "$help" ] || { echo "$0: $1 --help printed nothing" >&2; exit 1; }
fi
name=$(basename "$output")
name=${name%%.*}
page="$output.tmp"
printf '%s\n' "$help" >"$page.help"
awk -v name="$name" -v version="$version" -v date="$date" -v help_file="$page.help" \
  -f "$(dirname "$0")/man_page_from_help.awk" "$source" >"$page" || { rm -f "$page" "$page.help"; exit 1; }
rm -f "$page.help"
gzip -9n <"$page" >"$output"
rm -f "$page"
