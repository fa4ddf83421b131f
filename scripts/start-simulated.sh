#!/usr/bin/env bash
# Installs what is needed, builds, and starts the program on its built-in virtual ECU.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup-debian.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DORVANE_TESTS=OFF
cmake --build build
exec ./build/src/orvane --simulate "$@"
