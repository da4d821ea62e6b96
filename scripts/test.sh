#!/usr/bin/env bash
# Sets up, builds and runs every test: unit and integration tests, then each
# fuzz harness for a short while.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
ctest --test-dir build --output-on-failure -j2
if [ -x fuzz/run.sh ]; then
  fuzz/run.sh "${SALVEX_FUZZ_SECONDS:-15}"
fi
