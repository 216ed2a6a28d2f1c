#!/usr/bin/env bash
# Builds the client and the simulator, starts zenotar-sim on 127.0.0.1, runs
# zenotar-client against it in this terminal, and stops the server when the
# console ends. Arguments go to zenotar-sim (e.g. --time now).
#
# Where the services database has an entry for zenotar/udp, the server listens
# on that port and the client finds it there. Otherwise the server takes any
# free port and the client is given the entry through fake_services.so,
# without touching /etc/services.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
install_missing "${DEMO_PACKAGES[@]}"
cmake -S . -B build -G Ninja > /dev/null
cmake --build build --target zenotar-client zenotar-sim fake_services > /dev/null

entry=$(getent services zenotar/udp || true)
port=0
[ -n "$entry" ] && port=$(awk '{ split($2, p, "/"); print p[1] }' <<< "$entry")

said=$(mktemp)
# The server runs in a session of its own: Ctrl-C and Ctrl-Z at the console
# are for the console (they end or stop its command), not for the server.
setsid build/zenotar-sim --port "$port" "$@" > "$said" &
sim=$!
trap 'kill "$sim" 2> /dev/null || true; wait "$sim" 2> /dev/null || true; rm -f "$said"' EXIT

for _ in $(seq 100); do
  grep -q listening "$said" && break
  kill -0 "$sim" 2> /dev/null || exit 1  # it said why on standard error
  sleep 0.1
done
head -n 1 "$said" >&2
port=$(sed -n 's/.*127\.0\.0\.1:\([0-9]*\)\/udp.*/\1/p' "$said")

status=0
if [ -n "$entry" ]; then
  build/zenotar-client || status=$?
else
  LD_PRELOAD="$PWD/build/fake_services.so" ZENOTAR_FAKE_PORT="$port" build/zenotar-client || status=$?
fi
exit "$status"
