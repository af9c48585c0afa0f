#!/usr/bin/env bash
# Installs from Debian's packages whatever the builds, the tests, the art and the benchmarks need, and sets up
# the running of 32-bit Windows programs (the shipped installer) in 64-bit Wine prefixes.
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
# Wine's 32-bit half: what runs a PE32 program inside a 64-bit prefix, as WoW64 does on 64-bit Windows. The
# preloader matters: without it every 32-bit process spends over a minute probing its address space.
wow64_packages=(wine32:i386 wine32-preloader:i386)

binfmt=/proc/sys/fs/binfmt_misc
# The kernel's own check of an i386 ELF header, handed to qemu's user-mode emulator.
qemu_i386_rule=':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:FP'

is_installed() {
  [[ "$(dpkg-query -W -f='${Status}' "$1" 2>/dev/null || true)" == "install ok installed" ]]
}

# Whether this machine executes an i386 program, natively or through a registered emulator: asked of the kernel
# with the smallest i386 executable there is (one program header; its code calls exit(0)).
runs_i386() {
  local probe status
  probe=$(mktemp)
  printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\x31\xdb\xb8\x01\x00\x00\x00\xcd\x80\x00\x00\x00\x00' >"$probe"
  chmod +x "$probe"
  status=0
  "$probe" >/dev/null 2>&1 || status=$?
  rm -f "$probe"
  [[ $status -eq 0 ]]
}

missing=()
for p in "${packages[@]}"; do is_installed "$p" || missing+=("$p"); done
wow64_missing=()
for p in "${wow64_packages[@]}"; do is_installed "$p" || wow64_missing+=("$p"); done
needs_binfmt=0
runs_i386 || needs_binfmt=1
i386_arch=0
dpkg --print-foreign-architectures | grep -qx i386 && i386_arch=1

if [[ ${#missing[@]} -eq 0 && ${#wow64_missing[@]} -eq 0 && $needs_binfmt -eq 0 ]]; then
  echo "bootstrap: all $(( ${#packages[@]} + ${#wow64_packages[@]} )) packages present, 32-bit Windows programs run"
  exit 0
fi

if [[ $(id -u) -ne 0 ]]; then
  [[ ${#missing[@]} -gt 0 ]] && echo "bootstrap: missing Debian packages: ${missing[*]}" >&2
  [[ $i386_arch -eq 0 ]] && echo "bootstrap: the i386 architecture is not added to dpkg (dpkg --add-architecture i386)" >&2
  [[ ${#wow64_missing[@]} -gt 0 ]] && echo "bootstrap: missing 32-bit Wine packages: ${wow64_missing[*]}" >&2
  [[ $needs_binfmt -eq 1 ]] && echo "bootstrap: this machine runs no i386 program: qemu-user-static must be installed and registered for i386 in $binfmt" >&2
  echo "bootstrap: run it as root: sudo scripts/bootstrap.sh" >&2
  exit 1
fi

export DEBIAN_FRONTEND=noninteractive
apt_install() {
  apt-get install -y -qq --no-install-recommends "$@" >/dev/null
}

updated=0
if [[ ${#missing[@]} -gt 0 ]]; then
  echo "bootstrap: installing ${missing[*]}"
  apt-get update -qq
  updated=1
  apt_install "${missing[@]}"
fi

if [[ $needs_binfmt -eq 1 ]]; then
  echo "bootstrap: registering qemu's i386 emulator in $binfmt"
  [[ -e $binfmt/register ]] || mount -t binfmt_misc binfmt_misc "$binfmt"
  if ! is_installed qemu-user-static; then
    [[ $updated -eq 1 ]] || { apt-get update -qq; updated=1; }
    apt_install qemu-user-static
  fi
  # Debian's binfmt-support files leave i386 out on an amd64 host: register it by hand.
  [[ -e $binfmt/qemu-i386 ]] || printf '%s' "$qemu_i386_rule" >"$binfmt/register"
fi

if [[ ${#wow64_missing[@]} -gt 0 ]]; then
  echo "bootstrap: installing ${wow64_missing[*]}"
  if [[ $i386_arch -eq 0 ]]; then
    dpkg --add-architecture i386
    updated=0
  fi
  [[ $updated -eq 1 ]] || apt-get update -qq
  apt_install "${wow64_missing[@]}"
fi

runs_i386 || { echo "bootstrap: an i386 program still does not run here" >&2; exit 1; }
echo "bootstrap: done"
