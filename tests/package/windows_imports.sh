#!/usr/bin/env bash
# Which Windows the shipped programs run on, read from the programs themselves: the subsystem
# version in their PE header (the oldest Windows whose loader starts them) and the DLLs they
# import, which must all be part of Windows itself. README.md and README.txt say the same.
#   windows_imports.sh PROGRAM_DIR
set -euo pipefail
dir=$1
# The DLLs every Windows has; msvcrt.dll is the system's own C runtime.
allowed="advapi32.dll comctl32.dll gdi32.dll kernel32.dll msvcrt.dll shell32.dll user32.dll"
# Windows XP Professional x64 Edition and Windows Server 2003 x64, the first 64-bit Windows.
oldest_subsystem=5.2

failures=0
for exe in KorvaneQuorvantaUpdate.exe kqm-update.exe; do
  dump=$(x86_64-w64-mingw32-objdump -p "$dir/$exe")
  subsystem=$(awk '$1 == "MajorSubsystemVersion" { major = $2 } $1 == "MinorSubsystemVersion" { minor = $2 }
    END { print major "." minor }' <<<"$dump")
  machine=$(awk '/file format/ { print $NF; exit }' <<<"$dump")
  dlls=$(grep -oE 'DLL Name: .*' <<<"$dump" | cut -d' ' -f3 | tr '[:upper:]' '[:lower:]' | sort -u)
  echo "$exe: $machine, subsystem version $subsystem, imports $(echo $dlls)"
  for dll in $dlls; do
    [[ " $allowed " == *" $dll "* ]] || { echo "FAIL: $exe imports $dll, which Windows does not ship"; failures=$((failures + 1)); }
  done
  awk -v found="$subsystem" -v oldest="$oldest_subsystem" 'BEGIN { exit !(found + 0 <= oldest + 0) }' ||
    { echo "FAIL: $exe needs Windows $subsystem, newer than the $oldest_subsystem the read-me promises"; failures=$((failures + 1)); }
  [ "$machine" == "pei-x86-64" ] || { echo "FAIL: $exe is not a 64-bit program ($machine)"; failures=$((failures + 1)); }
done
[ "$failures" -eq 0 ]
