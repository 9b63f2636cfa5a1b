#!/usr/bin/env bash
# Installs every Debian package that building, testing and running Tabulon needs.
# Idempotent and non-interactive: packages already present are left alone.
set -euo pipefail

packages=(
  # build
  build-essential cmake ninja-build pkg-config clang-format clang-tidy
  qt6-base-dev qt6-base-dev-tools libgl-dev
  nlohmann-json3-dev libgtest-dev libgmock-dev googletest libbenchmark-dev
  libxcb1-dev libxcb-ewmh-dev
  # the fuzz targets: clang with libFuzzer and the sanitizer runtimes
  clang-14 libclang-rt-14-dev
  # help file: chmcmd compiles it, extract_chmLib opens it without a viewer
  fp-utils libchm-bin
  # running: the Japanese captions, a display, a window manager, the browser
  fonts-ipafont-gothic fontconfig xvfb openbox chromium
  # Qt's offscreen and X11 platforms (the X11 one needs xcb-cursor from Qt 6.5 on)
  qt6-qpa-plugins libxcb-cursor0
  # the browser bridge: the extension's tests, and Firefox for the end-to-end tests
  nodejs firefox-esr
  # the session bus the tests start for themselves (dbus-daemon, dbus-run-session)
  dbus-daemon
  # the package: dpkg-shlibdeps for its Depends, and the checks of the package, its
  # desktop entry and its AppStream metainfo
  dpkg-dev lintian desktop-file-utils appstream
  # the text editor the default "メモ帳" entry starts when the desktop has none
  mousepad
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
