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
# Where the kernel runs no i386 code, qemu's user-mode emulator runs wine32 and its preloader. Before 8.0 it
# gives every thread one descriptor table, so that a thread whose exception was continued finds itself on another
# thread's TEB, and it leaves a 32-bit process about 124 MB of address space: 8.0 or later, from this release's
# backports suite where the release itself has an older one.
codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
backports=$codename-backports
qemu_i386=/usr/bin/qemu-i386
qemu_i386_least=8.0
# The kernel's own check of an i386 ELF header, handed to the emulator: opened once at registration (F), so that
# it serves every mount namespace, and given the program's own argv[0] (P), which Wine's loader relies on.
qemu_i386_rule=':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:'$qemu_i386':FP'

is_installed() {
  [[ "$(dpkg-query -W -f='${Status}' "$1" 2>/dev/null || true)" == "install ok installed" ]]
}

# Whether the kernel itself executes i386 code: asked with the smallest i386 executable there is (one program
# header; its code calls exit(0)). The last padding byte of its ident is 1: the kernel's ELF loader ignores it,
# qemu's pattern above requires it to be 0, so no registered emulator takes the program.
kernel_runs_i386() {
  local probe status
  probe=$(mktemp)
  printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x01\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\x31\xdb\xb8\x01\x00\x00\x00\xcd\x80\x00\x00\x00\x00' >"$probe"
  chmod +x "$probe"
  status=0
  "$probe" >/dev/null 2>&1 || status=$?
  rm -f "$probe"
  [[ $status -eq 0 ]]
}

qemu_version() { "$1" --version 2>/dev/null | awk 'NR == 1 { print $3 }'; }

qemu_is_recent() {
  local version
  version=$(qemu_version "$1")
  [[ -n $version ]] && dpkg --compare-versions "$version" ge "$qemu_i386_least"
}

# Whether the emulator registered for i386 is one that runs Wine soundly: recent enough, enabled, with flags F and P.
qemu_registered() {
  local entry=$binfmt/qemu-i386
  [[ -r $entry ]] && grep -qx enabled "$entry" || return 1
  local flags
  flags=$(sed -n 's/^flags: //p' "$entry")
  [[ $flags == *F* && $flags == *P* ]] && qemu_is_recent "$(sed -n 's/^interpreter //p' "$entry")"
}

# This release's backports suite, from the mirror its own suite comes from, when apt's sources lack it.
add_backports_suite() {
  local mirror
  apt-get indextargets --no-release-info --format '$(RELEASE)' | grep -qx "$backports" && return 0
  mirror=$(apt-get indextargets --no-release-info --format '$(REPO_URI)' "Release: $codename" 'Target-Of: deb' | head -n 1)
  [[ -n $mirror ]] || { echo "bootstrap: apt's sources name no mirror of Debian $codename to add $backports from" >&2; exit 1; }
  printf 'Types: deb\nURIs: %s\nSuites: %s\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
    "$mirror" "$backports" >"/etc/apt/sources.list.d/$backports.sources"
}

# The emulator's registration, in place of an earlier one (binfmt_misc keeps the first entry of a name). Debian's
# binfmt files leave i386 out on an amd64 host: it is registered by hand.
register_qemu_i386() {
  [[ -e $binfmt/register ]] || mount -t binfmt_misc binfmt_misc "$binfmt"
  [[ -e $binfmt/qemu-i386 ]] && printf -- '-1' >"$binfmt/qemu-i386"
  printf '%s' "$qemu_i386_rule" >"$binfmt/register"
}

# The check that 32-bit Windows programs run soundly here: scripts/wow64-probe.cpp, built as the 32-bit tree builds
# its programs and run in a new 64-bit prefix under the 64-bit loader, as the WoW64 tests run theirs. A new
# prefix takes most of a minute, so a pass is remembered with what it depends on: the kernel, the i386
# registration and its emulator, Wine, and the probe with this script that builds it.
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
probe_source=$repo/scripts/wow64-probe.cpp
probe_passed=${XDG_CACHE_HOME:-$HOME/.cache}/zeln-bootstrap/wow64-probe-passed

probe_depends_on() {
  uname -r
  if [[ -r $binfmt/qemu-i386 ]]; then
    cat "$binfmt/qemu-i386"
    qemu_version "$(sed -n 's/^interpreter //p' "$binfmt/qemu-i386")"
  fi
  dpkg-query -W -f='${Package} ${Version}\n' wine64 "${wow64_packages[@]}" 2>/dev/null || true
  cat "$probe_source" "${BASH_SOURCE[0]}" "$repo/scripts/wine-env.sh" | md5sum
}

probe_remembered() { [[ -r $probe_passed && "$(probe_depends_on)" == "$(cat "$probe_passed")" ]]; }

# Prints the probe's findings; true when it passed. A 32-bit process that dies of a signal may end with status 0
# under the 64-bit loader, so a pass is the probe's own closing "sound" as well.
run_probe() {
  local dir status=0 verdict
  dir=$(mktemp -d)
  i686-w64-mingw32-g++-win32 -std=c++17 -Os -Wall -Wextra -Werror -static -I"$repo" \
    -Wl,--large-address-aware,--tsaware "$probe_source" -o "$dir/wow64-probe.exe" >"$dir/build.log" 2>&1 ||
    { cat "$dir/build.log" >&2; rm -rf "$dir"; return 1; }
  (
    source "$repo/scripts/wine-env.sh"
    export WINEPREFIX=$dir/prefix
    unset DISPLAY
    timeout 600 /usr/lib/wine/wine64 wineboot --init >/dev/null 2>&1
    timeout 120 /usr/lib/wine/wine64 "$dir/wow64-probe.exe" 2>/dev/null
  ) >"$dir/findings" || status=$?
  WINEPREFIX=$dir/prefix /usr/lib/wine/wineserver -k 2>/dev/null || true
  sed '/^sound$/d; s/^/bootstrap: wow64-probe: /' "$dir/findings"
  verdict=$(tail -n 1 "$dir/findings")
  grep -q '^FAILED' "$dir/findings" || [[ $verdict == sound ]] ||
    echo "bootstrap: wow64-probe: ended before its findings were all in (status $status)"
  rm -rf "$dir"
  [[ $status -eq 0 && $verdict == sound ]]
}

# What mends a failed probe, by the way this machine runs i386 code.
probe_mend() {
  local entry=$binfmt/qemu-i386 interpreter
  if [[ -r $entry ]] && grep -qx enabled "$entry"; then
    interpreter=$(sed -n 's/^interpreter //p' "$entry")
    if kernel_runs_i386; then
      echo "this kernel runs i386 code itself, but binfmt_misc hands it to $interpreter $(qemu_version "$interpreter");" \
        "remove that registration, as root: echo -1 > $entry"
    else
      echo "i386 code runs here through $interpreter $(qemu_version "$interpreter"); register qemu-user from" \
        "$backports in its place, as root: apt-get install -t $backports qemu-user && echo -1 > $entry && scripts/bootstrap.sh"
    fi
  else
    echo "this kernel runs i386 code itself, and Wine's 32-bit side fails; reinstall it, as root:" \
      "apt-get install --reinstall ${wow64_packages[*]}"
  fi
}

# Runs the probe unless a pass is remembered for this very setup; stops the bootstrap when it fails.
check_wow64() {
  probe_remembered && return 0
  echo "bootstrap: checking that 32-bit Windows programs run soundly here (a new Wine prefix: about a minute)"
  if ! run_probe; then
    echo "bootstrap: 32-bit Windows programs do not run soundly here: $(probe_mend)" >&2
    exit 1
  fi
  mkdir -p "$(dirname "$probe_passed")"
  probe_depends_on >"$probe_passed.$$" && mv "$probe_passed.$$" "$probe_passed"
}

missing=()
for p in "${packages[@]}"; do is_installed "$p" || missing+=("$p"); done
wow64_missing=()
for p in "${wow64_packages[@]}"; do is_installed "$p" || wow64_missing+=("$p"); done
needs_qemu=0
kernel_runs_i386 || qemu_registered || needs_qemu=1
i386_arch=0
dpkg --print-foreign-architectures | grep -qx i386 && i386_arch=1

if [[ ${#missing[@]} -eq 0 && ${#wow64_missing[@]} -eq 0 && $needs_qemu -eq 0 ]]; then
  check_wow64
  echo "bootstrap: all $(( ${#packages[@]} + ${#wow64_packages[@]} )) packages present, 32-bit Windows programs run"
  exit 0
fi

if [[ $(id -u) -ne 0 ]]; then
  [[ ${#missing[@]} -gt 0 ]] && echo "bootstrap: missing Debian packages: ${missing[*]}" >&2
  [[ $i386_arch -eq 0 ]] && echo "bootstrap: the i386 architecture is not added to dpkg (dpkg --add-architecture i386)" >&2
  [[ ${#wow64_missing[@]} -gt 0 ]] && echo "bootstrap: missing 32-bit Wine packages: ${wow64_missing[*]}" >&2
  [[ $needs_qemu -eq 1 ]] && echo "bootstrap: this kernel runs no i386 code: qemu-user $qemu_i386_least or later (from $backports) must be registered for i386 in $binfmt with flags FP" >&2
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

if [[ $needs_qemu -eq 1 ]]; then
  echo "bootstrap: registering qemu's i386 emulator in $binfmt"
  if ! qemu_is_recent "$qemu_i386"; then
    echo "bootstrap: installing qemu-user from $backports"
    add_backports_suite
    apt-get update -qq
    updated=1
    apt_install -t "$backports" qemu-user
    qemu_is_recent "$qemu_i386" ||
      { echo "bootstrap: $qemu_i386 from $backports is $(qemu_version "$qemu_i386"), older than $qemu_i386_least" >&2; exit 1; }
  fi
  register_qemu_i386
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

check_wow64
echo "bootstrap: done"
