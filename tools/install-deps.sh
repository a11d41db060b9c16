#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing need,
# asking apt only for what is missing.
set -euo pipefail
packages=(
  build-essential cmake ninja-build ccache pkg-config
  qt6-base-dev libgl-dev libfontconfig-dev zlib1g-dev libjpeg62-turbo-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev clang-format-14 clang-tidy-14
  fonts-wine xvfb xauth x11-apps x11-utils imagemagick xdotool librsvg2-bin
  desktop-file-utils appstream libcap2-bin libcap-dev libseccomp-dev libxcb1-dev libxcb-damage0-dev libxcb-record0-dev openbox weston qt6-wayland
  iproute2 iputils-ping dnsmasq-base procps util-linux python3
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
