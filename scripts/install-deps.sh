#!/usr/bin/env bash
# Installs the Debian packages the build, the tests, the demo and the Debian package
# (cpack -G DEB: dpkg-shlibdeps from dpkg-dev, file; its test checks it with lintian,
# appstreamcli from appstream, desktop-file-validate from desktop-file-utils and
# hardening-check from devscripts; rsvg-convert from librsvg2-bin renders the icons,
# scripts/render-icons.sh; systemd-analyze from systemd checks the user service, with
# man from man-db for its manual page) need.
#   scripts/install-deps.sh --runtime  only what running KVT and install needs (the
#                                      packed folder on a Debian 12 desktop)
# Does nothing when they are all present already.
set -euo pipefail
if [ "${1:-}" = "--runtime" ]; then
  # Their one list, which GUIDE.md shows and the Debian package's dependencies match.
  mapfile -t pkgs < <(grep -v '^[[:space:]]*\(#\|$\)' "$(dirname "$0")/../packaging/runtime-packages")
else
  pkgs=(cmake ninja-build g++ clang-format
        qt6-base-dev qt6-serialport-dev qt6-l10n-tools qt6-tools-dev qcoro-qt6-dev libgl-dev
        libgtest-dev libgmock-dev libbenchmark-dev
        avrdude socat xvfb xauth xdotool imagemagick
        python3-pyvisa python3-pyvisa-py
        dpkg-dev file lintian appstream desktop-file-utils devscripts librsvg2-bin
        systemd man-db)
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
