#!/usr/bin/env bash
# Builds the programs for release (the same build as start-simulated.sh, into ./build unless a
# directory is given) and makes the Debian package with CPack: <dir>/orvane_<version>_<arch>.deb.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DORVANE_TESTS=OFF -DORVANE_BENCHMARKS=OFF \
  -DORVANE_WERROR="${ORVANE_WERROR:-OFF}"
cmake --build "$build"
rm -f "$build"/orvane_*.deb
(cd "$build" && cpack -G DEB)
