#!/usr/bin/env bash
# Installs every Debian/Ubuntu package Veilmark needs to build, run and test.
# This is the project's single package list. Safe to run again: packages that are
# already installed are skipped, and apt-get is not called at all when nothing is missing.
set -euo pipefail

packages=(
  # toolchain
  build-essential cmake ninja-build pkg-config git
  # Qt 6 and QML run-time modules
  qt6-base-dev qt6-base-dev-tools qt6-declarative-dev qt6-declarative-dev-tools
  qt6-tools-dev qt6-l10n-tools qt6-translations-l10n qt6-svg-dev qt6-5compat-dev
  qml6-module-qtquick qml6-module-qtquick-controls qml6-module-qtquick-layouts
  qml6-module-qtquick-templates qml6-module-qtqml-workerscript qml6-module-qtquick-window
  qml6-module-qtquick-dialogs qml6-module-qt5compat-graphicaleffects qml6-module-qttest
  qml6-module-qtqml
  # platform libraries
  libpam0g-dev libsecret-1-dev libglib2.0-dev
  libxcb1-dev libxcb-ewmh-dev libxcb-icccm4-dev libxcb-randr0-dev libxcb-render0-dev libxcb-util-dev
  # tests and benchmarks
  libgtest-dev libbenchmark-dev util-linux attr libcap2-bin
  xvfb xauth openbox xdotool x11-apps xterm x11-xserver-utils x11-utils imagemagick
  dbus dbus-bin dbus-x11 libglib2.0-bin python3-dbusmock python3-gi fprintd libpam-wrapper
  gnome-keyring libsecret-tools
  # accessibility tests: the AT-SPI bus and its Python client
  at-spi2-core python3-pyatspi gir1.2-atspi-2.0
  clang libclang-rt-14-dev
  # Wayland: the protocol libraries and generators, and the headless compositors the Wayland tests
  # run under (tests/wayland: sway with grim and wtype; KWin with kbuildsycoca5 for its grants)
  libwayland-dev libwayland-bin wayland-protocols plasma-wayland-protocols libxkbcommon-dev
  qt6-wayland qt6-wayland-dev qt6-wayland-dev-tools qt6-base-private-dev
  sway grim wtype foot kwin-wayland libkf5service-bin python3-dbus
  # GNOME Shell rig (tests/wayland/gnome-session.sh: mock logind from python3-dbusmock, gsettings;
  # rig.py reads the shell's PNG screenshots with GdkPixbuf) and gjs for the extension's module check
  gnome-shell gjs gir1.2-gdkpixbuf-2.0 dconf-gsettings-backend
  # data and package checks: desktop entry, AppStream metainfo, the Debian package
  desktop-file-utils appstream lintian
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all ${#packages[@]} packages present"
  exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
