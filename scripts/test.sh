#!/usr/bin/env bash
# Installs what is missing, builds the client, the server and the tests, and
# runs every test. Warnings are errors under CI.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
install_missing "${BUILD_PACKAGES[@]}"
werror=OFF
[ "${CI:-}" = "true" ] && werror=ON
cmake -S . -B build -G Ninja -DZENOTAR_WERROR=$werror
cmake --build build
ctest --test-dir build -j2 --output-on-failure
