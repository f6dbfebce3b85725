#!/bin/sh
# The portable core must build anywhere, and its layers point one way:
#   core <- serial <- firmware <- update <- ui <- platform/*
#                                   update <- cli
# No operating-system header may appear in the core, and no layer may include a higher one.
# The console program is a host of the update of its own: it includes nothing of the dialog
# (ui/) and names no control of it.
src="${1:?source folder}"
layers="core serial firmware update ui"
failed=0

hits=$(grep -rnE '#\s*include\s*[<"](windows|winbase|winuser|windef|winreg|commctrl|richedit|shellapi|termios|unistd|fcntl|poll|pty|signal|dirent|sys/[a-z_]+|asm/[a-z_]+|linux/[a-z_]+)\.h[>"]' \
  $(for layer in $layers; do echo "$src/$layer"; done) 2>/dev/null)
if [ -n "$hits" ]; then
  echo "Operating-system headers in the portable core:"
  echo "$hits"
  failed=1
fi

# Each layer may include its own folder and the layers below it, nothing else of src/.
below=""
for layer in $layers; do
  allowed="${below:+$below }$layer"
  hits=$(grep -rnE '#\s*include\s*"[a-z_0-9]+/' "$src/$layer" 2>/dev/null |
    awk -v allowed=" $allowed " '{
      folder = $0; sub(/.*#[ \t]*include[ \t]*"/, "", folder); sub(/\/.*/, "", folder)
      if (index(allowed, " " folder " ") == 0) print
    }')
  if [ -n "$hits" ]; then
    echo "$layer/ includes a layer above it (allowed: $allowed):"
    echo "$hits"
    failed=1
  fi
  below="$allowed"
done

hits=$(grep -rnE '#\s*include\s*"ui/|control_ids\.h|\bids::' "$src/cli" 2>/dev/null)
if [ -n "$hits" ]; then
  echo "cli/ includes the dialog or names its controls:"
  echo "$hits"
  failed=1
fi

[ "$failed" -eq 0 ] || exit 1
echo "portable core is free of operating-system headers, its layers point one way, and the console does not lean on the dialog"
