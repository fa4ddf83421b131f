#!/usr/bin/env bash
# Installs the package that build-package.sh made on this machine with apt, checks that the
# programs, the man pages, the menu entry and the icon are in place and that every library the
# programs load comes from a package it depends on, then removes it and checks all of it is gone.
# The package is taken from ./build, or the directory given. As root or through sudo; refuses to
# touch an orvane package installed before.
set -euo pipefail
cd "$(dirname "$0")/.."
sudo_cmd=""
[ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
fail() { echo "check-package: $*" >&2; exit 1; }

build=${1:-build}
debs=("$build"/orvane_*.deb)
[ -f "${debs[0]}" ] || fail "no $build/orvane_*.deb: run scripts/build-package.sh first"
[ ${#debs[@]} -eq 1 ] || fail "more than one package in $build: ${debs[*]}"
deb=$(realpath "${debs[0]}")
if dpkg-query -W -f='${Status}' orvane 2>/dev/null | grep -q "install ok installed"; then
  fail "an orvane package is already installed; remove it first (apt remove orvane)"
fi
# man to read the page, desktop-file-validate for the menu entry
for tool in man:man-db desktop-file-validate:desktop-file-utils; do
  command -v "${tool%%:*}" >/dev/null || {
    $sudo_cmd apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${tool##*:}"
  }
done
version=$(dpkg-deb -f "$deb" Version)
files=(/usr/bin/orvane /usr/bin/orvane-cli /usr/bin/orvane-ecu-sim
       /usr/share/man/man1/orvane.1 /usr/share/man/man1/orvane-cli.1 /usr/share/man/man1/orvane-ecu-sim.1
       /usr/share/applications/orvane.desktop /usr/share/icons/hicolor/scalable/apps/orvane.svg
       /usr/share/icons/hicolor/48x48/apps/orvane.png /usr/share/icons/hicolor/256x256/apps/orvane.png)

# whatever fails below, the machine is left without the package
remove() { DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get remove -y -qq orvane >/dev/null || true; }
trap remove EXIT
# minimal Debian images leave man pages out of every package; ours are part of what is checked
DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq \
  -o Dpkg::Options::=--path-include='/usr/share/man/man1/orvane*' "$deb"

for f in "${files[@]}"; do [ -e "$f" ] || fail "$f is not installed"; done
[ "$(command -v orvane)" = /usr/bin/orvane ] || fail "orvane is not the one in /usr/bin"
[ "$(orvane --version)" = "orvane $version" ] || fail "orvane --version says '$(orvane --version)'"
[ "$(orvane-cli --version)" = "orvane-cli $version" ] || fail "orvane-cli --version says '$(orvane-cli --version)'"
# outputs are read whole before grep: grep -q leaving early would kill the writer with SIGPIPE,
# and pipefail would count that as a failure
help=$(orvane-ecu-sim --help) || fail "orvane-ecu-sim --help fails"
grep -q -- --unplug <<<"$help" || fail "orvane-ecu-sim --help"
man -w orvane >/dev/null || fail "man orvane finds no page"
for page in orvane orvane-cli orvane-ecu-sim; do
  shown=$(MANWIDTH=80 man "$page" 2>/dev/null) || fail "man $page fails"
  grep -q "$page" <<<"$shown" || fail "man $page shows nothing"
done
shown=$(MANWIDTH=200 man orvane 2>/dev/null) || fail "man orvane fails"
grep -q dialout <<<"$shown" || fail "man orvane says nothing of the dialout group"
desktop-file-validate /usr/share/applications/orvane.desktop || fail "the desktop entry is not valid"

# every library a program links to belongs to a package this one depends on, so apt pulls it on a
# machine that has none of them (what those libraries need in turn, their packages pull)
depends=$(dpkg-deb -f "$deb" Depends | tr ',|' '\n\n' | sed 's/^ *//; s/[ (:].*//')
for program in orvane orvane-cli orvane-ecu-sim; do
  libraries=$(ldd "/usr/bin/$program")
  for needed in $(objdump -p "/usr/bin/$program" | awk '$1 == "NEEDED" {print $2}'); do
    # "libQt6Core.so.6 => /lib/.../libQt6Core.so.6", or the loader's own "/lib64/ld-linux-x86-64.so.2"
    library=$(awk -v n="$needed" '$1 == n && $2 == "=>" {print $3} $1 ~ "/" n "$" {print $1}' <<<"$libraries")
    [ -n "$library" ] || fail "$program needs $needed, which is not found"
    owner=""
    for path in "$library" "/usr$library" "${library#/usr}"; do
      owner=$(dpkg-query -S "$path" 2>/dev/null | sed -n '1s/:.*//p') && [ -n "$owner" ] && break
    done
    [ -n "$owner" ] || fail "$program needs $library, which no package owns"
    grep -qxF "$owner" <<<"$depends" || fail "$program needs $library from $owner, which is not in Depends"
  done
done

trap - EXIT
DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get remove -y -qq orvane
for f in "${files[@]}"; do [ ! -e "$f" ] || fail "$f is left after removal"; done
! command -v orvane >/dev/null || fail "orvane is still on the PATH"
! command -v orvane-cli >/dev/null || fail "orvane-cli is still on the PATH"
! man -w orvane >/dev/null 2>&1 || fail "man orvane still finds a page"
echo "check-package: $(basename "$deb") installs, works and removes cleanly"
