#!/usr/bin/env bash
# Installs the build dependencies on Debian 12 (as root, or through sudo). Options:
#   --with-test-tools  also Gnumeric, whose ssconvert the workbook tests check our files against
#   --with-xvfb        also Xvfb, for xvfb-run on a machine without a display
set -euo pipefail
# qt6-charts-dev needs the Qt OpenGL CMake files, which it only recommends; qt6-translations-l10n
# puts Qt's own dialogs in Italian and Turkish (without it they stay English)
packages=(build-essential cmake ninja-build pkg-config qt6-base-dev qt6-serialport-dev qt6-charts-dev libqt6opengl6-dev libgsf-1-dev qt6-translations-l10n)
for option in "$@"; do
  case "$option" in
    --with-test-tools) packages+=(gnumeric) ;;
    # xvfb-run needs xauth, which xvfb only recommends
    --with-xvfb) packages+=(xvfb xauth) ;;
    *) echo "setup-debian.sh: unknown option '$option' (known: --with-test-tools, --with-xvfb)" >&2; exit 2 ;;
  esac
done
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=""
  [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
