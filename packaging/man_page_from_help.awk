# The work of man_page_from_help.sh: reads the help (help_file) into its parts, then copies the
# page source (the input) with the parts and the version in place. Plain POSIX awk.

function roff(text) {
  gsub(/\\/, "\\e", text)
  gsub(/-/, "\\-", text)
  gsub(/  +/, " ", text)
  return wrap(text)
}

# Running text in input lines of at most 80 bytes (guard included), broken at blanks (which fill mode joins
# again); a line that would start with a control character is guarded.
function wrap(text,    out, cut) {
  out = ""
  while (length(text) > 78 && (cut = last_blank(substr(text, 1, 79))) > 1) {
    out = out guard(substr(text, 1, cut - 1)) "\n"
    text = substr(text, cut + 1)
  }
  return out guard(text)
}

function last_blank(text,    k) {
  for (k = length(text); k > 0 && substr(text, k, 1) != " "; k--) {}
  return k
}

function guard(line) { return line ~ /^[.']/ ? "\\&" line : line }

function indent_of(line) { return match(line, /[^ ]/) ? RSTART - 1 : -1 }

function trim(line) {
  sub(/^ +/, "", line)
  sub(/ +$/, "", line)
  return line
}

function is_title(line) { return line ~ /^[A-Za-z][^:]*:$/ }

function fail(message) {
  print "man_page_from_help: " name ": " message > "/dev/stderr"
  failed = 1
  exit 1
}

# An entry is an indented line with a term: one that starts with "-" and has its text after
# two blanks or in the lines below, indented further; or a single word, two blanks, its text.
function is_entry(i,    text) {
  if (indent_of(help[i]) <= 0) return 0
  text = trim(help[i])
  if (text ~ /^-/)
    return index(text, "  ") > 0 || (i < lines && indent_of(help[i + 1]) > indent_of(help[i]))
  return text ~ /^[^ ]+  +[^ ]/
}

# The term in bold, its placeholders (words that do not start with "-") in italics.
function term(text,    count, words, k, out) {
  count = split(text, words, " ")
  out = ""
  for (k = 1; k <= count; k++) {
    if (k > 1) out = out " "
    out = out ((k == 1 || words[k] ~ /^-/) ? "\\fB" : "\\fI") roff(words[k]) "\\fR"
  }
  return out
}

# Help lines first..last as roff: entries become tagged paragraphs, the rest running text.
function render(first, last,    out, i, mode, entry_indent, text, gap) {
  out = ""
  mode = ""
  for (i = first; i <= last; i++) {
    if (help[i] ~ /^ *$/) { mode = ""; continue }
    text = trim(help[i])
    if (mode == "entry" && indent_of(help[i]) > entry_indent) {
      out = out roff(text) "\n"
    } else if (is_entry(i)) {
      gap = index(text, "  ")
      out = out ".TP\n" term(gap ? substr(text, 1, gap - 1) : text) "\n"
      if (gap) out = out roff(trim(substr(text, gap))) "\n"
      mode = "entry"
      entry_indent = indent_of(help[i])
    } else if (mode == "prose") {
      out = out roff(text) "\n"
    } else {
      if (out != "") out = out ".PP\n"
      out = out roff(text) "\n"
      mode = "prose"
    }
  }
  return out
}

function render_exit_status(first, last,    out, i, text, gap) {
  out = ""
  for (i = first; i <= last; i++) {
    if (help[i] ~ /^ *$/) continue
    if (help[i] !~ /^ +[0-9]+  [^ ]/) fail("exit status line not understood: \"" help[i] "\"")
    text = trim(help[i])
    gap = index(text, "  ")
    out = out ".TP\n" substr(text, 1, gap - 1) "\n" roff(trim(substr(text, gap))) "\n"
  }
  return out
}

# The section that starts at line i with its title (or at the first option line without one):
# appended to its part; returns the line after it.
function take_section(i, title,    last) {
  for (last = i; last < lines && !is_title(help[last + 1]); last++) {}
  if (tolower(title) == "exit status")
    part["EXIT_STATUS"] = part["EXIT_STATUS"] render_exit_status(i, last)
  else
    part["SECTIONS"] = part["SECTIONS"] ".SH " toupper(title) "\n" render(i, last)
  return last + 1
}

function synopsis_entry(text) {
  if (text == name) return ".SY " roff(name) "\n"
  return ".SY " roff(name) "\n" roff(trim(substr(text, length(name) + 1))) "\n"
}

# "Usage:" or "usage: NAME ...", then the command forms, each starting with NAME; a line
# indented further than its form goes on with it. Returns the line after them.
function take_synopsis(i,    count, text, column, forms) {
  text = help[i]
  sub(/^[Uu]sage:[ ]*/, "", text)
  count = 0
  if (text != "") {
    forms[++count] = trim(text)
    column = length(help[i]) - length(text)
  }
  for (i++; i <= lines && help[i] !~ /^ *$/ && !is_title(help[i]); i++) {
    text = trim(help[i])
    if (index(text, name) == 1 && (text == name || substr(text, length(name) + 1, 1) == " ")) {
      forms[++count] = text
      column = indent_of(help[i])
    } else if (count > 0 && indent_of(help[i]) > column) {
      forms[count] = forms[count] " " text
    } else {
      break
    }
  }
  for (k = 1; k <= count; k++) part["SYNOPSIS"] = part["SYNOPSIS"] synopsis_entry(forms[k])
  return i
}

function parse_help(    i, first) {
  lines = 0
  while ((getline line < help_file) > 0) help[++lines] = line
  close(help_file)
  while (lines > 0 && help[lines] ~ /^ *$/) lines--
  i = 1
  while (i <= lines && help[i] ~ /^ *$/) i++
  if (i <= lines && help[i] ~ /^[Uu]sage:/) i = take_synopsis(i)
  # Option lines right below the usage lines belong to an untitled options section.
  if (i <= lines && help[i] !~ /^ *$/ && !is_title(help[i]) && is_entry(i))
    i = take_section(i, "Options")
  first = i
  while (i <= lines && !is_title(help[i])) i++
  part["DESCRIPTION"] = render(first, i - 1)
  while (i <= lines) i = take_section(i + 1, substr(help[i], 1, length(help[i]) - 1))
}

BEGIN {
  split("SYNOPSIS DESCRIPTION SECTIONS EXIT_STATUS", names, " ")
  for (k in names) part[names[k]] = ""
  parse_help()
}

{
  gsub(/@VERSION@/, version)
  gsub(/@DATE@/, date)
  if ($0 ~ /^@[A-Z_]+@$/) {
    marker = substr($0, 2, length($0) - 2)
    if (!(marker in part)) fail("unknown marker " $0)
    if (part[marker] == "" && marker != "DESCRIPTION" && marker != "SECTIONS")
      fail("the help has no " section_name(marker) " for " $0)
    printf "%s", part[marker]
    placed[marker] = 1
    next
  }
  print
}

END {
  if (failed) exit 1
  for (marker in part)
    if (part[marker] != "" && !(marker in placed)) fail("the page does not place the help's " section_name(marker))
}

function section_name(marker) {
  marker = tolower(marker)
  gsub(/_/, " ", marker)
  return marker
}
