#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need.
# Only missing packages are installed; running it again changes nothing.
set -euo pipefail

packages=(
  cmake g++ make pkg-config git
  libgtest-dev libgmock-dev libbenchmark-dev
  libcurl4-openssl-dev libssl-dev openssl
  qt6-base-dev libgl-dev
  libcpp-httplib-dev
  fonts-wqy-microhei
  xvfb xauth
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "missing packages: ${missing[*]}; run this script as root to install them" >&2
  exit 1
fi

echo "installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
