#!/usr/bin/env bash
# Configures and builds the project (Ninja, two jobs, warnings as errors) in
# build/, or in $SALVEX_BUILD_DIR with $SALVEX_BUILD_TYPE: everything, or the
# targets given (scripts/build.sh salvex).
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${SALVEX_BUILD_DIR:-build}
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE="${SALVEX_BUILD_TYPE:-RelWithDebInfo}" -DSALVEX_WERROR=ON >/dev/null
if [ $# -gt 0 ]; then
  cmake --build "$dir" -j2 --target "$@"
else
  cmake --build "$dir" -j2
fi
