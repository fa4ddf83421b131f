#!/usr/bin/env bash
# Installs what is needed, builds the program (neither tests nor benchmarks), and starts it on its
# built-in virtual ECU. The program is then ./build/src/orvane.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup-debian.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DORVANE_TESTS=OFF -DORVANE_BENCHMARKS=OFF
cmake --build build
exec ./build/src/orvane --simulate "$@"
