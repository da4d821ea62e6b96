#!/usr/bin/env bash
# Configures and builds the project in build/ (Ninja, two jobs): everything,
# or the targets given (scripts/build.sh salvex).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
if [ $# -gt 0 ]; then
  cmake --build build -j2 --target "$@"
else
  cmake --build build -j2
fi
