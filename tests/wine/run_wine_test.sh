#!/usr/bin/env bash
# Runs one scenario of the Windows program under Wine: its own Xvfb, its own simulated base
# station on a pseudo-terminal mapped to a COM port, the program built by the win64 preset,
# and the UI driver (ui_driver.exe) that operates it. Screenshots and logs go to
# <work>/results/<scenario>/. Everything started here is stopped again, also on failure.
# --program-dir DIR runs the programs found in DIR (an unpacked release zip) from there,
# instead of copies of the Windows build's programs in C:\.
#
# usage: run_wine_test.sh --win64 DIR --work DIR [--sim PATH] [--program-dir DIR] SCENARIO
set -euo pipefail

win64=""
work=""
sim=""
program_dir_option=""
while [ $# -gt 1 ]; do
  case "$1" in
    --win64) win64="$2"; shift 2 ;;
    --work) work="$2"; shift 2 ;;
    --sim) sim="$2"; shift 2 ;;
    --program-dir) program_dir_option=$(realpath -m "$2"); shift 2 ;;
    *) break ;;
  esac
done
scenario="${1:?scenario}"
[ -n "$win64" ] && [ -n "$work" ] || { echo "usage: $0 --win64 DIR --work DIR [--sim PATH] SCENARIO"; exit 2; }
win64=$(realpath -m "$win64")
work=$(realpath -m "$work")
[ -z "$sim" ] || sim=$(realpath -m "$sim")

exe="$win64/src/platform/win32/KorvaneQuorvantaUpdate.exe"
console_exe="$win64/src/cli/kqm-update.exe"
if [ -n "$program_dir_option" ]; then
  exe="$program_dir_option/KorvaneQuorvantaUpdate.exe"
  console_exe="$program_dir_option/kqm-update.exe"
fi
driver_exe="$win64/tests/win32/ui_driver.exe"
backend_tests="$win64/tests/win32/win32_tests.exe"
for file in "$exe" "$console_exe" "$driver_exe" "$backend_tests"; do
  if [ ! -f "$file" ]; then
    echo "FAIL: $file is missing: build the Windows program first" \
      "(cmake --preset win64 && cmake --build --preset win64)"
    exit 1
  fi
done

export WINEPREFIX="$work/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export LANG=C.UTF-8
results="$work/results/$scenario"
rm -rf "$results"
mkdir -p "$results"
log="$results/run.log"

main_title="Korvane Quorvanta Module Firmware Update"
about_title="About Korvane Quorvanta Module Update"
parameters_title="Korvane Mobile Module Update"
error_title="Firmware Update Error"
complete_title="Firmware Update Complete"
check_title="Korvane Quorvanta Module Update"
profile_key='HKCU\Software\Halvenmoor Systems\KorvaneQuorvantaUpdate\Settings'
screen_width=1024
screen_height=768

xvfb_pid=""
sim_pid=""
program_pid=""
failures=0

# --- stopping what we started -------------------------------------------------------------

stop_all() {
  set +e
  # The wine server of our own prefix, and with it every Windows process in that prefix.
  wineserver -k >/dev/null 2>&1
  wineserver -w >/dev/null 2>&1
  for pid in "$program_pid" "$sim_pid" "$xvfb_pid"; do
    if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
      kill "$pid" 2>/dev/null
      for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
      kill -9 "$pid" 2>/dev/null
    fi
  done
  wait 2>/dev/null
}
trap stop_all EXIT
trap 'exit 130' INT TERM

# --- checks -------------------------------------------------------------------------------

fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# expect_eq WHAT ACTUAL EXPECTED (texts in the driver's escaped form)
expect_eq() {
  if [ "$2" == "$3" ]; then
    echo "ok: $1"
  else
    fail "$1: got \"$2\", expected \"$3\""
  fi
}

# Texts given to the driver and read from it use C-style escapes: \n, \r, \\, \xHH.
escape() {
  local text="$1"
  text="${text//\\/\\\\}"
  text="${text//$'\n'/\\n}"
  text="${text//$'\r'/\\r}"
  printf '%s' "$text"
}

# The console may end lines with CR LF; CRs inside texts come escaped.
driver() {
  local output status=0
  output=$(wine "$driver_exe" "$@" 2>>"$log") || status=$?
  [ -z "$output" ] || printf '%s\n' "${output//$'\r'/}"
  return $status
}

# Like driver, but a failing command fails the scenario at once.
must() {
  if ! driver "$@"; then
    echo "FAIL: ui_driver $* (see $log)"
    tail -3 "$log" | sed 's/^/  /'
    screenshot "failure"
    exit 1
  fi
}

screenshot() {
  import -display ":$display" -window root "$results/$1.png" 2>>"$log" || true
}

# --- the prefix, the display, the simulator -----------------------------------------------

prepare_prefix() {
  if [ -f "$WINEPREFIX/.korvane-ready" ]; then
    return
  fi
  rm -rf "$WINEPREFIX"
  echo "creating the Wine prefix $WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  wineboot -i >>"$log" 2>&1 || { echo "FAIL: wineboot could not create the prefix"; exit 1; }
  # A virtual desktop of a fixed size: Wine draws the window frames itself and the screen
  # size the program sees is known.
  wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /t REG_SZ /d Default /f >>"$log" 2>&1
  wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /t REG_SZ \
    /d "${screen_width}x${screen_height}" /f >>"$log" 2>&1
  # Links opened by the About box are written to files instead of starting a browser.
  wine reg add 'HKCR\mailto\shell\open\command' /ve /t REG_SZ \
    /d 'C:\windows\system32\cmd.exe /c echo %1> C:\links\mail.txt' /f >>"$log" 2>&1
  wine reg add 'HKCR\http\shell\open\command' /ve /t REG_SZ \
    /d 'C:\windows\system32\cmd.exe /c echo %1> C:\links\web.txt' /f >>"$log" 2>&1
  wineserver -w
  touch "$WINEPREFIX/.korvane-ready"
}

start_display() {
  local fifo="$results/display"
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" >>"$log" 2>&1 &
  xvfb_pid=$!
  read -r -t 20 display <"$fifo" || { echo "FAIL: Xvfb did not start"; exit 1; }
  rm -f "$fifo"
  export DISPLAY=":$display"
}

# start_simulator ARGS...: the base station on a new pseudo-terminal; sets $pty.
start_simulator() {
  [ -x "$sim" ] || { echo "FAIL: the simulator $sim is missing: build tessalink-sim"; exit 1; }
  "$sim" --log "$results/simulator.log" "$@" >"$results/simulator.out" 2>>"$log" &
  sim_pid=$!
  pty=""
  for _ in $(seq 100); do
    pty=$(head -n 1 "$results/simulator.out" 2>/dev/null || true)
    [ -n "$pty" ] && break
    kill -0 "$sim_pid" 2>/dev/null || break
    sleep 0.1
  done
  [ -n "$pty" ] || { echo "FAIL: the simulator did not start"; exit 1; }
  echo "simulator on $pty"
}

# map_ports COMn=PATH ...: the only COM port mappings of the prefix; a restart of the wine
# server makes Wine list them under HKLM\Hardware\DeviceMap\SERIALCOMM.
map_ports() {
  wine reg delete 'HKLM\Software\Wine\Ports' /f >>"$log" 2>&1 || true
  wine reg add 'HKLM\Software\Wine\Ports' /f >>"$log" 2>&1
  local mapping
  for mapping in "$@"; do
    wine reg add 'HKLM\Software\Wine\Ports' /v "${mapping%%=*}" /t REG_SZ /d "${mapping#*=}" /f \
      >>"$log" 2>&1
  done
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w
}

# The COM numbers (1 to 21) that Windows lists, one per line.
listed_ports() {
  wine reg query 'HKLM\Hardware\DeviceMap\SERIALCOMM' 2>>"$log" | tr -d '\r' |
    grep -oiE 'REG_SZ[[:space:]]+COM[0-9]+' | grep -oE '[0-9]+$' |
    awk '$1 >= 1 && $1 <= 21' | sort -n | uniq
}

set_saved_port() {
  wine reg delete 'HKCU\Software\Halvenmoor Systems' /f >>"$log" 2>&1 || true
  if [ -n "${1:-}" ]; then
    wine reg add "$profile_key" /v ComPort /t REG_DWORD /d "$1" /f >>"$log" 2>&1
  fi
}

# saved_port [PROFILE_KEY]: the dialog program's, or the given program's.
saved_port() {
  local value
  value=$(wine reg query "${1:-$profile_key}" /v ComPort 2>>"$log" | tr -d '\r' |
    awk '$1 == "ComPort" { print $3 }')
  [ -z "$value" ] || echo $((value))
}

# --- the program and its files ------------------------------------------------------------

# install_program DIRNAME [with-description]: copies the programs and the firmware files into
# C:\DIRNAME\ and sets $program_dir (Windows form) and $program_path_unix. With --program-dir
# the programs stay where they are and the firmware files go beside them.
install_program() {
  if [ -n "$program_dir_option" ]; then
    program_path_unix="$program_dir_option"
    program_dir="$(winepath -w "$program_path_unix" 2>>"$log" | tr -d '\r')\\"
    rm -f "$program_path_unix"/{Korvane_Quorvanta_Mobile_Module.txt,KQM_2_1_0_7.hex,Hex.tmp}
  else
    program_dir="C:\\$1\\"
    program_path_unix="$WINEPREFIX/drive_c/${1//\\//}"
    rm -rf "$program_path_unix"
    mkdir -p "$program_path_unix"
    cp "$exe" "$console_exe" "$program_path_unix/"
  fi
  if [ "${2:-}" == "with-description" ]; then
    printf '2.1.0.7\r\nKQM_2_1_0_7.hex\r\n' >"$program_path_unix/Korvane_Quorvanta_Mobile_Module.txt"
    # Two blocks with a gap, not page aligned: 0x000-0x2FF and 0x380-0x51F, six pages.
    srec_cat -generate 0 0x300 -repeat-string 'KorvaneFirmware' \
      -generate 0x380 0x520 -repeat-data 0x12 0x34 0x7E 0x1B 0x7D 0xC0 \
      -o "$program_path_unix/KQM_2_1_0_7.hex" -intel -address-length=2 -Output_Block_Size=16
    srec_cat "$program_path_unix/KQM_2_1_0_7.hex" -intel -fill 0xFF 0 0x600 \
      -o "$results/expected-image.bin" -binary
  fi
}

# Started from another directory, as the shell does: the program finds its files through its
# own path on the command line.
start_program() {
  (cd "$results" && exec wine "${program_dir}KorvaneQuorvantaUpdate.exe" >>"$log" 2>&1) &
  program_pid=$!
}

wait_program_exit() {
  for _ in $(seq 100); do
    kill -0 "$program_pid" 2>/dev/null || { program_pid=""; return 0; }
    sleep 0.1
  done
  fail "the program is still running"
}

text_of() { driver text "$1" "$2"; }

expect_text() { expect_eq "$1: control $3" "$(text_of "$2" "$3")" "$(escape "$4")"; }

expect_window_placed() {
  local left top width height
  read -r left top width height < <(driver title-rect "$1")
  expect_eq "$1 placed centred, a quarter from the top" "$left $top" \
    "$(((screen_width - width) / 2)) $(((screen_height - height) / 4))"
}

# The port buttons COM1 to COM21 (controls 2001 to 2021) in one run of the driver.
port_buttons=$(seq 2001 2021)

# The port buttons enabled are exactly the listed ports.
expect_port_buttons_follow_the_list() {
  local listed enabled="" n=0 state
  listed=$(listed_ports | tr '\n' ' ')
  # shellcheck disable=SC2086 # the controls, one argument each
  for state in $(driver enabled "$main_title" $port_buttons); do
    n=$((n + 1))
    [ "$state" == 1 ] && enabled+="$n "
  done
  expect_eq "enabled port buttons (listed: $listed)" "$enabled" "$listed"
}

checked_port() {
  local n=0 state
  # shellcheck disable=SC2086 # the controls, one argument each
  for state in $(driver checked "$main_title" $port_buttons); do
    n=$((n + 1))
    if [ "$state" == 1 ]; then
      echo "$n"
      return
    fi
  done
  echo 0
}

# Pixels of the highlight colour RGB(192, 0, 0) inside a control on a screenshot.
highlight_pixels() {
  local left top width height
  read -r left top width height < <(driver rect "$2" "$3")
  convert "$results/$1.png" -crop "${width}x${height}+${left}+${top}" +repage \
    -format %c histogram:info:- 2>>"$log" | awk '/#C00000/ { sub(":", "", $1); n = $1 } END { print n + 0 }'
}

expect_highlighted() {
  local pixels
  pixels=$(highlight_pixels "$@")
  [ "$pixels" -gt 0 ] && echo "ok: control $3 drawn in the highlight colour" ||
    fail "control $3 shows no highlight colour on $1.png"
}

expect_not_highlighted() {
  expect_eq "control $3 not highlighted" "$(highlight_pixels "$@")" 0
}

# --- screenshots for the user guide -------------------------------------------------------
# With FWU_GUIDE_SCREENSHOTS=DIR in the environment (scripts/screenshots sets it) the shots
# that docs/user-guide.md shows are also cropped to their window and written to DIR as small
# palette PNGs. Without it these functions do nothing, so the tests run as they always do.

# Wine's symbol font for the caption buttons (Debian package fonts-wine), where the program
# finds it as on Windows: without it the buttons come out as letters. The text fonts stay
# those of the tests.
guide_fonts() {
  [ -n "${FWU_GUIDE_SCREENSHOTS:-}" ] || return 0
  local marlett=/usr/share/wine/fonts/marlett.ttf
  [ -f "$marlett" ] || { fail "$marlett is missing: install fonts-wine"; return 0; }
  cp "$marlett" "$WINEPREFIX/drive_c/windows/Fonts/"
}

# The firmware file's date and time, which the main dialog shows, the same in every run: a
# picture regenerated without a change to its window stays byte for byte the same.
guide_fixed_file_date() {
  [ -n "${FWU_GUIDE_SCREENSHOTS:-}" ] || return 0
  touch -d '2008-02-08 14:05:09' "$program_path_unix"/*.hex
}

# guide_crop NAME LEFT TOP WIDTH HEIGHT: $results/NAME.png, just taken, cut to the rectangle.
guide_crop() {
  local dir="${FWU_GUIDE_SCREENSHOTS:-}"
  [ -n "$dir" ] || return 0
  mkdir -p "$dir"
  # No dithering and no time stamps in the file, for the same reason.
  convert "$results/$1.png" -crop "${4}x${5}+${2}+${3}" +repage +dither -colors 128 -strip \
    -define png:exclude-chunks=date,time "PNG8:$dir/$1.png" 2>>"$log" ||
    fail "the guide's screenshot $1 could not be written"
}

# guide_shot NAME TITLE: the screenshot NAME, cut to the window TITLE.
guide_shot() {
  [ -n "${FWU_GUIDE_SCREENSHOTS:-}" ] || return 0
  local rect
  rect=$(driver title-rect "$2") || { fail "no window \"$2\" for the guide's $1"; return 0; }
  # shellcheck disable=SC2086 # the four numbers of the rectangle
  guide_crop "$1" $rect
}

# guide_shot_with_prompt NAME: the control-parameter dialog with its flashing prompt on, the
# moment the guide describes. The prompt's control reads "Static" until the dialog's first
# timer tick, and the prompt is off for a quarter of a second now and then.
guide_shot_with_prompt() {
  [ -n "${FWU_GUIDE_SCREENSHOTS:-}" ] || return 0
  must wait-text "$parameters_title" 1030 "Press && release the Setup button on Mobile Module." 5000
  local _
  for _ in 1 2 3 4 5; do
    screenshot "$1"
    if [ "$(highlight_pixels "$1" "$parameters_title" 1030)" -gt 0 ]; then
      guide_shot "$1" "$parameters_title"
      return 0
    fi
    sleep 0.1
  done
  fail "the prompt was off in every try of the guide's $1"
}

instructions=$'- The Korvane Quorvanta Mobile Module is updated using a Korvane Tessalink configured as a Base unit.\n- Connect the Korvane Tessalink to a serial port on your PC.\n- Select the appropriate serial port (COM1 to COM21).\n- Press the Begin Update button below.\n- After the Korvane Mobile Module Update dialog appears wait for a few seconds before the next step.\n- Put the Quorvanta Mobile Module into the Setup mode.\n- Press the Setup button on the Quorvanta Mobile Module to get the control parameters.\n- Press the Start Update button.\n- Monitor the Firmware Update Status information.\n- A message box will indicate the success of the update.\n'

# --- scenarios ----------------------------------------------------------------------------

scenario_win32_backends() {
  local output
  output=$(wine "$backend_tests" 2>>"$log" | tr -d '\r') || true
  echo "$output" >"$results/win32_tests.txt"
  echo "$output" | grep FAILED || true
  local summary
  summary=$(echo "$output" | tail -n 1)
  echo "win32 backend tests: $summary"
  [[ "$summary" =~ ^[1-9][0-9]*\ passed,\ 0\ failed$ ]] || fail "win32 backend tests: $summary"
  finished=1
}

scenario_main_dialog() {
  start_simulator
  map_ports "COM5=$pty" "COM12=$pty"
  set_saved_port 12
  install_program kqu-main with-description
  guide_fixed_file_date
  start_program
  must wait-window "$main_title" 30000
  must wait-text "$main_title" 1009 "Firmware version  =  2.1.0.7" 10000
  screenshot main-dialog
  guide_shot main-dialog "$main_title"

  expect_window_placed "$main_title"
  expect_highlighted main-dialog "$main_title" 1017
  expect_not_highlighted main-dialog "$main_title" 1100
  expect_not_highlighted main-dialog "$main_title" 1008
  expect_text "main dialog" "$main_title" 1017 \
    "Use to update Korvane Quorvanta Mobile Module firmware via a wireless connection."
  expect_text "main dialog" "$main_title" 1100 "$instructions"
  local file_line
  file_line=$(text_of "$main_title" 1008)
  [[ "$file_line" == "Firmware file  =  KQM_2_1_0_7.hex     ("*")" ]] &&
    echo "ok: firmware file line $file_line" || fail "firmware file line: $file_line"
  for id in 1007 1010 1011; do expect_text "main dialog" "$main_title" $id ""; done
  expect_eq "Begin Update enabled" "$(driver enabled "$main_title" 1006)" 1

  expect_port_buttons_follow_the_list
  listed_ports | grep -qx 5 && listed_ports | grep -qx 12 ||
    fail "COM5 and COM12 are not listed: $(listed_ports | tr '\n' ' ')"
  expect_eq "saved port checked" "$(checked_port)" 12

  # Refresh Serial Ports reads the saved port again; without one, the lowest port is checked.
  set_saved_port 5
  must click "$main_title" 1012
  sleep 0.5
  expect_eq "saved port checked after a refresh" "$(checked_port)" 5
  set_saved_port ""
  must click "$main_title" 1012
  sleep 0.5
  expect_eq "lowest port checked without a saved one" "$(checked_port)" "$(listed_ports | head -n 1)"

  # Minimised (the window's icon in its title) and restored, the dialog goes on working.
  must post "$main_title" 0x112 0xF020 0
  sleep 1.5
  screenshot minimised
  must post "$main_title" 0x112 0xF120 0
  sleep 1
  expect_text "restored main dialog" "$main_title" 1009 "Firmware version  =  2.1.0.7"

  # Enter does nothing; Done ends the program.
  must post "$main_title" 0x111 1 0
  sleep 0.5
  expect_eq "Enter leaves the dialog open" "$(driver exists "$main_title")" 1
  must click "$main_title" 2
  must wait-gone "$main_title" 10000
  wait_program_exit
  finished=1
}

scenario_missing_description() {
  map_ports
  set_saved_port ""
  # A program directory with blanks in its name, as the shell quotes it.
  install_program "Program Files\\KQU Test"
  start_program
  must wait-window "$check_title" 30000
  screenshot description-box
  expect_eq "description file box" "$(driver message-box "$check_title")" "$(escape \
    "Unable to open the firmware description file:     
     C:\\Program Files\\KQU Test\\Korvane_Quorvanta_Mobile_Module.txt     

Firmware update wil be disabled.")"
  must command "$check_title" 1
  must wait-window "$main_title" 10000
  sleep 0.5
  expect_eq "Begin Update disabled" "$(driver enabled "$main_title" 1006)" 0
  expect_text "main dialog" "$main_title" 1008 "Firmware file  ="
  expect_text "main dialog" "$main_title" 1009 "Firmware version  =  "
  must click "$main_title" 2
  must wait-gone "$main_title" 10000
  wait_program_exit
  finished=1
}

scenario_about_box() {
  map_ports
  set_saved_port ""
  install_program kqu-about with-description
  rm -rf "$WINEPREFIX/drive_c/links"
  mkdir -p "$WINEPREFIX/drive_c/links"
  start_program
  must wait-window "$main_title" 30000

  local opener
  for opener in "system-menu 0x10" "system-menu 0x1F" "contact-info"; do
    if [ "$opener" == contact-info ]; then
      must click "$main_title" 1016
    else
      must post "$main_title" 0x112 "${opener#* }" 0
    fi
    must wait-window "$about_title" 10000
    echo "ok: About box opened by $opener"
    expect_window_placed "$about_title"
    expect_text "About box" "$about_title" 1019 "Korvane Wireless Quorvanta Mobile Module Firmware Update"
    expect_text "About box" "$about_title" 1015 "Version 2.0.0.16"
    expect_text "About box" "$about_title" 1014 "Released February 8, 2008"
    expect_text "About box" "$about_title" 1018 "This update utility can only be used to update the
Korvane Wireless Quorvanta Mobile Module firmware.
This update is preformed via a wireless connection."
    expect_eq "About box copyright" "$(text_of "$about_title" 1013)" \
      'Copyright \xA9 2003-2008 Halvenmoor Systems, Inc.'
    expect_text "About box" "$about_title" 1021 "Phone:
FAX:
Email:
Web:
Hours:
Address:"
    expect_eq "About box contact block" "$(text_of "$about_title" 1016)" \
      '(614) 555-0142\r\n(614) 555-0143\r\nmailto:support@halvenmoor.example\r\nwww.halvenmoor.example\r\n8:00 AM to 5:00 PM Eastern Time (UTC-5)\r\n4410 Quarry Ridge Road\r\nP.O. Box 2208\r\nColumbus, OH 43215'
    expect_eq "focus on OK" "$(driver focus "$about_title")" 1
    if [ "$opener" == contact-info ]; then
      screenshot about-box
      guide_shot about-box "$about_title"
      # A click outside the links opens nothing and leaves the focus on OK.
      must click-text "$about_title" 1016 "Quarry"
      sleep 1
      expect_eq "focus on OK after a click in the contact block" "$(driver focus "$about_title")" 1
      must click-text "$about_title" 1016 "mailto:"
      must click-text "$about_title" 1016 "www."
      local _
      for _ in $(seq 50); do
        [ -s "$WINEPREFIX/drive_c/links/mail.txt" ] && [ -s "$WINEPREFIX/drive_c/links/web.txt" ] && break
        sleep 0.2
      done
      expect_eq "e-mail link opened" "$(tr -d '\r\n' <"$WINEPREFIX/drive_c/links/mail.txt" 2>/dev/null)" \
        "mailto:support@halvenmoor.example?Subject=Firmware Update"
      expect_eq "web link opened" "$(tr -d '\r\n' <"$WINEPREFIX/drive_c/links/web.txt" 2>/dev/null)" \
        "http://www.halvenmoor.example"
    fi
    must click "$about_title" 1
    must wait-gone "$about_title" 10000
    expect_eq "main dialog stays open" "$(driver exists "$main_title")" 1
  done
  must close "$main_title"
  must wait-gone "$main_title" 10000
  wait_program_exit
  finished=1
}

all_ports_enabled_again() {
  expect_port_buttons_follow_the_list
  expect_eq "Begin Update enabled" "$(driver enabled "$main_title" 1006)" 1
}

scenario_no_base_station() {
  start_simulator --scenario silent-base
  map_ports "COM5=$pty"
  set_saved_port 5
  install_program kqu-silent with-description
  start_program
  must wait-window "$main_title" 30000
  expect_eq "saved port checked" "$(checked_port)" 5
  # WM_USER+102 starts an update as Begin Update does.
  must post "$main_title" 0x466 0 0
  # Six baud rates, each with its identification time-out.
  must wait-window "$error_title" 90000
  screenshot no-base-station-box
  expect_eq "no base station box" "$(driver message-box "$error_title")" \
    "Cannot find a Korvane Tessalink.               "
  expect_text "status" "$main_title" 1011 "Cannot find a Korvane Tessalink."
  must command "$error_title" 1
  must wait-gone "$error_title" 10000
  sleep 0.5
  all_ports_enabled_again
  [ -e "$program_path_unix/Hex.tmp" ] && fail "Hex.tmp left behind"
  must click "$main_title" 2
  must wait-gone "$main_title" 10000
  wait_program_exit
  finished=1
}

# Pick COM5 with the mouse as a user does, then Begin Update; waits for the parameter dialog
# to show the module's four values.
begin_update_on_com5() {
  must click "$main_title" 2005
  sleep 0.3
  expect_eq "COM5 checked" "$(checked_port)" 5
  must click "$main_title" 1006
  must wait-window "$parameters_title" 60000
  expect_window_placed "$parameters_title"
  expect_eq "Start Update disabled before the report" "$(driver enabled "$parameters_title" 1027)" 0
  # The prompt flashes (on for 1.5 s, off for a quarter of a second): a screenshot counts when
  # the prompt shows right before and right after it. On a busy machine the shot may still
  # catch it off in between or not yet drawn, so the prompt must show in the highlight colour
  # on one of up to three shots that count.
  local prompt_before prompt_after prompt="" counted=0 _
  for _ in 1 2 3 4 5 6; do
    prompt_before=$(text_of "$parameters_title" 1030)
    screenshot control-parameters-waiting
    prompt_after=$(text_of "$parameters_title" 1030)
    # Longer off than its flashing: the report has come.
    [ -n "$prompt_before$prompt_after" ] || break
    [ -n "$prompt_before" ] && [ -n "$prompt_after" ] || continue
    prompt=$prompt_after
    counted=$((counted + 1))
    [ "$(highlight_pixels control-parameters-waiting "$parameters_title" 1030)" -eq 0 ] &&
      [ "$counted" -lt 3 ] || break
  done
  if [ "$counted" -gt 0 ]; then
    expect_eq "prompt" "$prompt" "Press && release the Setup button on Mobile Module."
    expect_highlighted control-parameters-waiting "$parameters_title" 1030
  fi
  expect_not_highlighted control-parameters-waiting "$parameters_title" 1024
  must wait-enabled "$parameters_title" 1027 30000
  expect_text "parameters" "$parameters_title" 1023 "123456"
  expect_text "parameters" "$parameters_title" 1026 "00A2B3C4 41526374"
  expect_text "parameters" "$parameters_title" 1028 "3332"
  expect_text "parameters" "$parameters_title" 1029 "15"
  expect_text "parameters" "$parameters_title" 1030 ""
  # Enter does not end the dialog.
  must post "$parameters_title" 0x111 1 0
  sleep 0.3
  expect_eq "Enter leaves the parameter dialog open" "$(driver exists "$parameters_title")" 1
}

scenario_cancel_parameters() {
  start_simulator --setup-after 3000
  map_ports "COM5=$pty"
  set_saved_port ""
  install_program kqu-cancel with-description
  start_program
  must wait-window "$main_title" 30000
  begin_update_on_com5
  must click "$parameters_title" 2
  must wait-gone "$parameters_title" 10000
  sleep 3
  expect_eq "no message box after a cancel" \
    "$(driver exists "$error_title")$(driver exists "$complete_title")" "00"
  expect_text "status" "$main_title" 1011 ""
  all_ports_enabled_again
  expect_eq "nothing saved" "$(saved_port)" ""
  must click "$main_title" 2
  must wait-gone "$main_title" 10000
  wait_program_exit
  finished=1
}

# The simulated module holds exactly the page image of the firmware installed with the program.
expect_received_image() {
  for _ in $(seq 50); do [ -s "$results/received-image.bin" ] && break; sleep 0.1; done
  if cmp "$results/expected-image.bin" "$results/received-image.bin"; then
    echo "ok: the module received the page image ($(stat -c %s "$results/expected-image.bin") bytes)"
  else
    fail "the image the module received differs from the HEX file's page image"
  fi
}

scenario_successful_update() {
  start_simulator --setup-after 3000 --image-out "$results/received-image.bin"
  map_ports "COM5=$pty"
  set_saved_port ""
  install_program kqu-update with-description
  start_program
  must wait-window "$main_title" 30000
  begin_update_on_com5
  screenshot control-parameters
  # A start request from another program while the update runs is not an update inside it.
  must post "$main_title" 0x466 0 0
  sleep 0.5
  must click "$parameters_title" 1027
  must wait-gone "$parameters_title" 10000
  must post "$main_title" 0x466 0 0
  must wait-window "$complete_title" 180000
  screenshot success-box
  expect_eq "success box" "$(driver message-box "$complete_title")" \
    "$(escape "The Korvane Quorvanta Module firmware has been successfully updated.     

")"
  expect_text "status" "$main_title" 1007 "Boot loader version  =  QMM-2.11-644"
  expect_text "status" "$main_title" 1010 "Sending hex file page  6  of  6"
  expect_text "status" "$main_title" 1011 "Korvane Quorvanta Module firmware successfully updated"
  must command "$complete_title" 1
  must wait-gone "$complete_title" 10000
  sleep 3
  expect_eq "no second update after the first" \
    "$(driver exists "$parameters_title")$(driver exists "$error_title")" "00"
  screenshot after-update
  all_ports_enabled_again
  expect_eq "ComPort saved" "$(saved_port)" 5
  [ -e "$program_path_unix/Hex.tmp" ] && fail "Hex.tmp left behind"
  expect_received_image
  must click "$main_title" 2
  must wait-gone "$main_title" 10000
  wait_program_exit

  # The next start checks the port of the successful update.
  start_program
  must wait-window "$main_title" 30000
  sleep 0.5
  expect_eq "saved port checked at the next start" "$(checked_port)" 5
  must click "$main_title" 2
  must wait-gone "$main_title" 10000
  wait_program_exit
  finished=1
}

# install_larger_firmware BYTES: the firmware file of the program directory replaced by one of
# BYTES bytes (whole pages), long enough to watch the transfer at the base station's speed.
install_larger_firmware() {
  srec_cat -generate 0 "$1" -repeat-string 'KorvaneFirmware' \
    -o "$program_path_unix/KQM_2_1_0_7.hex" -intel -address-length=2 -Output_Block_Size=16
  srec_cat "$program_path_unix/KQM_2_1_0_7.hex" -intel -o "$results/expected-image.bin" -binary
}

# wait_for_simulator TEXT SECONDS: until the simulator's log has a line with TEXT.
wait_for_simulator() {
  local _
  for _ in $(seq $(($2 * 10))); do
    grep -qF -- "$1" "$results/simulator.log" 2>/dev/null && return 0
    sleep 0.1
  done
  fail "the simulator's log shows no \"$1\" within $2 s"
}

failure_report=$'No response from the Korvane Quorvanta Module.     \n\nFirmware update terminated.\n\nIf some of the hex file was transferred, the firmware in the Korvane Quorvanta Module may be corrupt.     \n\nYou should retry the firmware update procedure.\n\nIf you continue to have problems, contact Halvenmoor Systems for support.\n     Office hours 8:00 AM to 5:00 PM Eastern Time (UTC-5)\n     (614) 555-0142\n     support@halvenmoor.example\n     www.halvenmoor.example\n\n'

# The radio link dies in the middle of the transfer: the update failure report. The module is
# left in its boot loader, and the next Begin Update finds it there and completes the update
# without asking for the control parameters again.
scenario_interrupted_update() {
  local link="$results/tessalink" main_rect
  start_simulator --link "$link" --wire-time --setup-after 6000 --scenario drop-after-page=19
  map_ports "COM5=$link"
  set_saved_port ""
  install_program kqu-interrupted with-description
  install_larger_firmware 0x2000
  guide_fixed_file_date
  start_program
  must wait-window "$main_title" 30000
  main_rect=$(driver title-rect "$main_title")
  must click "$main_title" 2005
  sleep 0.3
  must click "$main_title" 1006
  must wait-window "$parameters_title" 60000
  guide_shot_with_prompt control-parameters-waiting
  must wait-enabled "$parameters_title" 1027 30000
  screenshot control-parameters
  guide_shot control-parameters "$parameters_title"
  must click "$parameters_title" 1027
  must wait-gone "$parameters_title" 10000
  # The busy dialog answers no questions, but the screen shows its progress.
  wait_for_simulator "page 9: written" 60
  screenshot progress
  # shellcheck disable=SC2086 # the four numbers of the rectangle
  guide_crop progress $main_rect
  must wait-window "$error_title" 60000
  screenshot transfer-failed-box
  guide_shot transfer-failed-box "$error_title"
  expect_eq "update failure report" "$(driver message-box "$error_title")" \
    "$(escape "$failure_report")"
  expect_text "status" "$main_title" 1010 "Sending hex file page  21  of  32"
  expect_text "status" "$main_title" 1011 "Firmware update failed"
  must command "$error_title" 1
  must wait-gone "$error_title" 10000
  sleep 1
  all_ports_enabled_again
  expect_eq "nothing saved after a broken transfer" "$(saved_port)" ""
  [ -e "$program_path_unix/Hex.tmp" ] && fail "Hex.tmp left behind"

  # The same port, now to a module waiting in its boot loader.
  kill "$sim_pid"
  wait "$sim_pid" || true
  sim_pid=""
  mv "$results/simulator.log" "$results/simulator-interrupted.log"
  start_simulator --link "$link" --scenario bootloader-running \
    --image-out "$results/received-image.bin"
  must click "$main_title" 1006
  must wait-window "$complete_title" 120000
  screenshot success-box
  guide_shot success-box "$complete_title"
  expect_eq "control parameters not asked for again (<RS sent)" \
    "$(grep -cF 'base station: <RS' "$results/simulator.log")" 0
  must command "$complete_title" 1
  must wait-gone "$complete_title" 10000
  sleep 1
  screenshot after-update
  guide_shot after-update "$main_title"
  expect_text "status" "$main_title" 1010 "Sending hex file page  32  of  32"
  expect_eq "ComPort saved" "$(saved_port)" 5
  for _ in $(seq 50); do [ -s "$results/received-image.bin" ] && break; sleep 0.1; done
  if cmp -s "$results/expected-image.bin" "$results/received-image.bin"; then
    echo "ok: the module received the whole page image"
  else
    fail "the image the module received differs from the HEX file's page image"
  fi
  must click "$main_title" 2
  must wait-gone "$main_title" 10000
  wait_program_exit
  finished=1
}

# --- the console program ------------------------------------------------------------------

console_profile_key='HKCU\Software\Halvenmoor Systems\kqm-update\Settings'

# start_console ARGS...: kqm-update.exe from another directory, as a script starts it, with
# standard input from $console_input; output in $results/console.out and console.err.
start_console() {
  (cd "$results" && exec wine "${program_dir}kqm-update.exe" "$@" <"$console_input" \
    >"$results/console.out" 2>"$results/console.err") &
  program_pid=$!
}

# finish_console: waits for the console program and sets $console_status.
finish_console() {
  console_status=0
  wait "$program_pid" || console_status=$?
  program_pid=""
  tr -d '\r' <"$results/console.out" >"$results/console.txt"
  tr -d '\r' <"$results/console.err" >>"$results/console.txt"
}

expect_console_says() {
  grep -qF -- "$1" "$results/console.txt" && echo "ok: the console said \"$1\"" ||
    fail "the console did not say \"$1\" (see $results/console.txt)"
}

scenario_console_update() {
  start_simulator --setup-after 3000 --image-out "$results/received-image.bin"
  map_ports "COM5=$pty"
  set_saved_port ""
  install_program kqu-console with-description
  console_input=/dev/null
  start_console --port COM5 --yes --trace trace.txt
  finish_console
  expect_eq "exit status" "$console_status" 0
  expect_console_says "Firmware version  =  2.1.0.7"
  expect_console_says "Sending hex file page  6  of  6"
  expect_console_says "The Korvane Quorvanta Module firmware has been successfully updated."
  expect_console_says "Exit status 0: "
  expect_eq "ComPort saved" "$(saved_port "$console_profile_key")" 5
  [ -e "$program_path_unix/Hex.tmp" ] && fail "Hex.tmp left behind"
  expect_received_image
  finished=1
}

# Without --yes the program waits for the module's Setup report; its input ends meanwhile.
scenario_console_cancel() {
  start_simulator --setup-after off
  map_ports "COM5=$pty"
  set_saved_port ""
  install_program kqu-console with-description
  console_input="$results/console.in"
  mkfifo "$console_input"
  start_console --port COM5 --trace trace.txt
  local input
  exec {input}>"$console_input"
  local _
  for _ in $(seq 600); do
    grep -q "base station: <RS" "$results/simulator.log" 2>/dev/null && break
    sleep 0.1
  done
  grep -q "base station: <RS" "$results/simulator.log" ||
    fail "the program never asked the base station for the module's Setup report"
  sleep 1
  exec {input}>&-
  finish_console
  expect_eq "exit status" "$console_status" 9
  expect_console_says "End of input: cancelling the update."
  expect_console_says "Exit status 9: cancelled."
  # The clean restore on the wire: the radio's command mode left, report forwarding off, the
  # base station released, the port closed.
  local sent
  tr -d '\r' <"$results/trace.txt" >"$results/trace-lf.txt"
  sent=$(sed -n 's/^\[[^]]*\] -> \(\([0-9A-F][0-9A-F] \)*[0-9A-F][0-9A-F]\).*$/\1/p' \
    "$results/trace-lf.txt" | tr '\n' ' ')
  [[ "$sent" == *"3C 52 53 1B 1B 1B 1B 1B 1B 3C 52 4E 3C 57 " ]] &&
    echo "ok: after \"<RS\" only six ESC, \"<RN\" and \"<W\" were sent" ||
    fail "sent at the end: ${sent: -60}"
  expect_eq "the port closed last" "$(tail -n 1 "$results/trace-lf.txt" | sed 's/^\[[^]]*\] //')" close
  for _ in $(seq 50); do grep -q "PC closes the port" "$results/simulator.log" && break; sleep 0.1; done
  expect_eq "the restore, in order" \
    "$(grep -oE 'base station: <(RN|W)$|PC closes the port' "$results/simulator.log" | tail -n 3 | tr '\n' '|')" \
    "base station: <RN|base station: <W|PC closes the port|"
  expect_eq "nothing saved" "$(saved_port "$console_profile_key")" ""
  [ -e "$program_path_unix/Hex.tmp" ] && fail "Hex.tmp left behind"
  finished=1
}

# A line of two stations in one Windows process, its claims in memory: each module is updated
# once; the one that comes again at the other station is turned down and recorded as skipped;
# the line ends at --count with both base stations restored. A --history is refused with the
# reason: the Windows program keeps the claims of its own stations only.
scenario_console_line() {
  start_simulator --stations 2 --baud 115200 --setup-after 300 --images "$results/modules" \
    --module id=111111,station=1 --module id=333333,station=1 \
    --module id=222222,station=2 --module id=111111,station=2
  local second="" _
  for _ in $(seq 50); do
    second=$(sed -n 2p "$results/simulator.out")
    [ -n "$second" ] && break
    sleep 0.1
  done
  map_ports "COM5=$pty" "COM6=$second"
  set_saved_port ""
  install_program kqu-console with-description
  console_input=/dev/null
  start_console --history line.db --port COM5 --yes
  finish_console
  expect_eq "exit status with --history" "$console_status" 2
  expect_console_says "Cannot use the history: SQLite and PostgreSQL histories are not available in the Windows program"
  start_console --port COM5 --port COM6 --baud 115200 --count 3 --report line.jsonl
  finish_console
  expect_eq "exit status" "$console_status" 0
  expect_console_says "Production line: 2 stations."
  expect_console_says "Module 111111 was already updated with this firmware at "
  expect_console_says "Line finished: 3 updated, 0 failed, 1 skipped"
  local records
  records=$(tr -d '\r' <"$results/line.jsonl" | grep -oE '"module_id":"[0-9]+".*"result":"[a-z]+"' |
    sed -E 's/"module_id":"([0-9]+)".*"result":"([a-z]+)"/\1 \2/' | sort | tr '\n' ' ')
  expect_eq "the records" "$records" "111111 skipped 111111 success 222222 success 333333 success "
  local station log
  for station in 1 2; do
    log="$results/modules/station-$station.log"
    for _ in $(seq 50); do [ "$(tail -n 1 "$log" 2>/dev/null)" == "<W" ] && break; sleep 0.1; done
    expect_eq "station $station restored" "$(tail -n 1 "$log")" "<W"
  done
  [ -e "$program_path_unix/Hex.tmp" ] && fail "Hex.tmp left behind"
  finished=1
}

# --- the user guide of the zip --------------------------------------------------------------

# The user guide as the release zip carries it (--program-dir): an HTML page that shows only
# pictures the zip holds and links only to its own sections, and a screenshot of its first
# page in a browser (headless Chromium), saved with the results. Needs no Wine.
scenario_user_guide() {
  [ -n "$program_dir_option" ] || { fail "user_guide needs --program-dir, the unpacked zip"; return; }
  local guide="$program_dir_option/user-guide.html" picture pictures=0 target links=0
  [ -f "$guide" ] || { fail "the zip has no user-guide.html"; return; }
  for picture in $(grep -oE '<img [^>]*src="[^"]+"' "$guide" | sed 's/.*src="//; s/"$//'); do
    pictures=$((pictures + 1))
    [ -f "$program_dir_option/$picture" ] || fail "the guide shows $picture, which the zip lacks"
  done
  [ "$pictures" -gt 0 ] && echo "ok: the guide shows $pictures pictures" || fail "the guide shows no picture"
  for target in $(grep -oE 'href="#[^"]+"' "$guide" | sed 's/href="#//; s/"$//' | sort -u); do
    links=$((links + 1))
    grep -qF "id=\"$target\"" "$guide" || fail "the guide links to #$target, which it lacks"
  done
  echo "ok: $links links to the guide's own sections checked"
  local profile="$results/browser-profile" shot="$results/user-guide.png"
  mkdir -p "$profile"
  # The flags keep the browser off the network: no updates, no sync, no background requests.
  timeout --kill-after=5 60 chromium --headless --no-sandbox --disable-gpu --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --user-data-dir="$profile" --window-size=1024,1400 --screenshot="$shot" \
    "file://${guide// /%20}" >>"$log" 2>&1 || fail "the browser did not show the guide (see $log)"
  rm -rf "$profile"
  local colours
  colours=$(convert "$shot" -format %k info: 2>>"$log" || echo 0)
  [ "$colours" -gt 16 ] && echo "ok: the guide's first page in $shot ($colours colours)" ||
    fail "the screenshot of the guide is blank ($colours colours)"
  finished=1
}

# --- run ----------------------------------------------------------------------------------

case "$scenario" in
  win32_backends | main_dialog | missing_description | about_box | no_base_station | \
    cancel_parameters | successful_update | interrupted_update) ;;
  console_update | console_cancel | console_line | user_guide) ;;
  *) echo "unknown scenario $scenario"; exit 2 ;;
esac

started=$(date +%s)
if [ "$scenario" != user_guide ]; then
  prepare_prefix
  guide_fonts
  start_display
fi
# An error inside an expansion abandons the function without stopping the script: a scenario
# counts only when it ran to its last line.
finished=""
"scenario_$scenario"
[ "$finished" == 1 ] || fail "scenario $scenario stopped before its end (see the errors above)"
echo "scenario $scenario: $failures failure(s) in $(($(date +%s) - started)) s; results in $results"
[ "$failures" -eq 0 ]
