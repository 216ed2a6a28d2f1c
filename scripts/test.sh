#!/usr/bin/env bash
# Installs what is missing, builds the client, the server and the tests, and
# runs every test. Warnings are errors under CI.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
install_missing "${BUILD_PACKAGES[@]}"
werror=OFF
[ "${CI:-}" = "true" ] && werror=ON
# Every test and benchmark, their frameworks demanded: none is skipped silently.
cmake -S . -B build -G Ninja -DZENOTAR_WERROR=$werror -DZENOTAR_TESTS=ON -DZENOTAR_BENCH=ON
cmake --build build
ctest --test-dir build -j2 --output-on-failure
