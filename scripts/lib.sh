# Shared by scripts/run and scripts/test: the packages each needs, and installing what is missing.
# shellcheck shell=bash

# scripts/run: building and running the library, the program and the
# simulator, nothing for the tests.
KORVANE_RUN_PACKAGES=(
  cmake make g++
  qtbase5-dev qtbase5-dev-tools
  xvfb xauth fonts-dejavu-core
)
# scripts/test: everything, the tests' and benchmarks' tools too.
KORVANE_PACKAGES=(
  cmake make g++ pkg-config
  qtbase5-dev qtbase5-dev-tools
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev clang-format
  xvfb xauth fonts-dejavu-core
  tshark nlohmann-json3-dev
  libmosquitto-dev mosquitto mosquitto-clients libwebsockets-dev python3-jinja2
  chromium
)
# scripts/package: what dpkg-buildpackage needs (debian/control's Build-Depends).
KORVANE_DEB_BUILD_PACKAGES=(
  build-essential debhelper dpkg-dev
  cmake qtbase5-dev qtbase5-dev-tools libmosquitto-dev libwebsockets-dev nlohmann-json3-dev
)
# The packaging stage of scripts/test: checking an install and the packages.
KORVANE_PACKAGING_CHECK_PACKAGES=(
  pkg-config desktop-file-utils appstream man-db lintian systemd
)

ensure_packages() {
  local missing=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  # tshark's package asks whether non-root users may capture; they may not.
  echo "wireshark-common wireshark-common/install-setuid boolean false" | $sudo debconf-set-selections
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# The browser tests need node and npm: Debian's, unless the machine has a
# Node.js of its own (whose package conflicts with Debian's npm).
ensure_node() {
  command -v node >/dev/null && command -v npm >/dev/null && return 0
  ensure_packages nodejs npm
}
