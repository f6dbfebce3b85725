# Installs the Debian packages given that are not installed yet (needs root on a fresh
# machine; does nothing when everything is there).
ensure_packages() {
  local missing=()
  local package
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
      missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
}

# What building and testing needs. The console program uses libcrypto (libssl-dev) for SHA-256,
# the header-only JSON library and command-line parser (libcli11-dev) on both toolchains, and
# for the line's history the SQLite and PostgreSQL client libraries (libsqlite3-dev, libpq-dev);
# for the dashboard (`kqm-update serve`) the HTTP library libcpp-httplib-dev, found through
# pkg-config, and the charting library libjs-dygraphs, built into the program.
# Making the packages: dpkg-dev and file (the Debian package's library dependencies), pandoc
# (the Windows zip's documents as HTML). Testing: the history's tests start a PostgreSQL server
# of their own (postgresql); the packages' need zip and unzip (the firmware bundle), man-db and
# mandoc (reading and checking the man pages), chromium (a screenshot of the HTML user guide,
# and the dashboard's page as a browser shows it); strace shows that a record is on the disk
# before the next module starts.
BUILD_PACKAGES=(cmake make g++ googletest libgtest-dev mingw-w64 g++-mingw-w64-x86-64
  libssl-dev nlohmann-json3-dev libcli11-dev libsqlite3-dev libpq-dev libcpp-httplib-dev
  libjs-dygraphs pkg-config dpkg-dev file pandoc)
TEST_PACKAGES=(wine wine64 xvfb x11-utils xdotool imagemagick srecord socat clang libclang-rt-14-dev python3-jsonschema
  zip unzip man-db mandoc chromium postgresql strace)
# What scripts/screenshots needs beyond the tests: Wine's own fonts, so that the user guide's
# pictures show the caption buttons as the program shows them on Windows.
SCREENSHOT_PACKAGES=(fonts-wine)
