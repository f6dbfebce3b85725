#!/bin/sh
# Renders a document of docs/ as the HTML page that the Windows zip carries: GitHub's
# Markdown (tables, and heading anchors as GitHub makes them, so the links between sections
# work) through pandoc, a standalone page whose pictures stay files beside it, lines ended in
# CR LF. A chapter whose title starts with "For maintainers" is left out, with its line in the
# contents: the zip is for the people who update modules.
#   markdown_to_html.sh INPUT OUTPUT
set -eu
input=$1
output=$2
command -v pandoc >/dev/null || { echo "$0: pandoc is needed (Debian package pandoc)" >&2; exit 1; }

title=$(sed -n 's/^# //p' "$input" | head -n 1)
awk '
  /^## / { skipping = ($0 ~ /^## ([0-9]+\. )?For maintainers/) }
  skipping { next }
  /\]\(#([0-9]+-)?for-maintainers/ { next }
  { print }
' "$input" |
  pandoc --from gfm --to html5 --standalone --metadata pagetitle="$title" \
    --include-in-header "$(dirname "$0")/markdown_to_html.css.html" --eol crlf --no-highlight \
    --output "$output.tmp"
mv "$output.tmp" "$output"
