#!/bin/sh
# The portable core must build anywhere: no operating-system header may appear in it.
src="${1:?source folder}"
hits=$(grep -rnE '#\s*include\s*[<"](windows|winbase|winuser|windef|winreg|commctrl|richedit|shellapi|termios|unistd|fcntl|poll|pty|signal|dirent|sys/[a-z_]+|asm/[a-z_]+|linux/[a-z_]+)\.h[>"]' \
  "$src/core" "$src/serial" "$src/firmware" "$src/ui" "$src/update" 2>/dev/null)
if [ -n "$hits" ]; then
  echo "Operating-system headers in the portable core:"
  echo "$hits"
  exit 1
fi
echo "portable core is free of operating-system headers"
