#!/usr/bin/env bash
# Installs from Debian's packages whatever the builds, the tests, the art and the benchmarks need.
# Idempotent: one short line when everything is already there.
set -euo pipefail

packages=(
  cmake make g++ pkg-config
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  libz-mingw-w64-dev zlib1g-dev
  googletest libgtest-dev nlohmann-json3-dev
  wine64 wine
  xvfb xdotool x11-utils xcompmgr imagemagick osslsigncode openssl
  fonts-dejavu-core fonts-wine
  python3 python3-fonttools file openssl
  clang libclang-rt-dev linux-perf
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if [[ ${#missing[@]} -eq 0 ]]; then
  echo "bootstrap: all ${#packages[@]} packages present"
  exit 0
fi

if [[ $(id -u) -ne 0 ]]; then
  echo "bootstrap: missing Debian packages: ${missing[*]}" >&2
  echo "bootstrap: install them with: sudo apt-get update && sudo apt-get install -y --no-install-recommends ${missing[*]}" >&2
  exit 1
fi

echo "bootstrap: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
echo "bootstrap: done"
