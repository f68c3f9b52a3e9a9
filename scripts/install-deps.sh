#!/usr/bin/env bash
# Installs the Debian packages the build, the tests, the demo and the Debian package
# (cpack -G DEB: dpkg-shlibdeps from dpkg-dev, file; its test checks it with lintian,
# appstreamcli from appstream, desktop-file-validate from desktop-file-utils and
# hardening-check from devscripts; rsvg-convert from librsvg2-bin renders the icons,
# scripts/render-icons.sh) need.
#   scripts/install-deps.sh --runtime  only what running KVT and install needs (the
#                                      packed folder on a Debian 12 desktop)
# Does nothing when they are all present already.
set -euo pipefail
if [ "${1:-}" = "--runtime" ]; then
  # What the two programs link (ldd, dpkg -S): QCoro is header-only in use, the X11
  # platform plugin ships in libqt6gui6. avrdude is started for firmware updates.
  pkgs=(libqt6core6 libqt6gui6 libqt6widgets6 libqt6serialport6 libqt6network6 avrdude)
else
  pkgs=(cmake ninja-build g++ clang-format
        qt6-base-dev qt6-serialport-dev qt6-l10n-tools qt6-tools-dev qcoro-qt6-dev libgl-dev
        libgtest-dev libgmock-dev libbenchmark-dev
        avrdude socat xvfb xauth xdotool imagemagick
        python3-pyvisa python3-pyvisa-py
        dpkg-dev file lintian appstream desktop-file-utils devscripts librsvg2-bin)
fi
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
