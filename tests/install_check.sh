#!/usr/bin/env bash
# Installs a build into a scratch prefix, checks that the tree holds exactly
# the two programs and their manual pages, and that the pages render without
# a warning.
# usage: install_check.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
source=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" > /dev/null
actual=$(cd "$prefix" && find . -type f | sort)
expected="./bin/zenotar-client
./bin/zenotar-sim
./share/man/man1/zenotar-client.1
./share/man/man1/zenotar-sim.1"
if [ "$actual" != "$expected" ]; then
  printf 'install tree holds:\n%s\nexpected:\n%s\n' "$actual" "$expected"
  exit 1
fi
"$prefix/bin/zenotar-sim" --help > /dev/null
for page in "$source"/man/*.1; do
  warnings=$(LC_ALL=C.UTF-8 groff -man -ww -z "$page" 2>&1)
  if [ -n "$warnings" ]; then
    printf '%s:\n%s\n' "$page" "$warnings"
    exit 1
  fi
done
echo "install tree and manual pages as expected"
