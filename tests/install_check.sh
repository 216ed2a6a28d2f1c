#!/usr/bin/env bash
# Installs a build into a scratch prefix and checks that the tree holds
# exactly the two programs, their compressed manual pages and the documents,
# that the pages lint clean with groff and, where it is there, mandoc, and
# that the versions agree with the project's.
# usage: install_check.sh BUILD_DIR VERSION
set -euo pipefail
build=$1
version=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" > /dev/null
actual=$(cd "$prefix" && find . -type f | sort)
expected="./bin/zenotar-client
./bin/zenotar-sim
./share/doc/zenotar/README.Debian
./share/doc/zenotar/changelog.gz
./share/doc/zenotar/copyright
./share/man/man1/zenotar-client.1.gz
./share/man/man1/zenotar-sim.1.gz"
if [ "$actual" != "$expected" ]; then
  printf 'install tree holds:\n%s\nexpected:\n%s\n' "$actual" "$expected"
  exit 1
fi
fail() { echo "$*"; exit 1; }
[ "$("$prefix/bin/zenotar-sim" --version)" = "zenotar-sim $version" ] ||
  fail "zenotar-sim --version does not say $version"
zcat "$prefix/share/doc/zenotar/changelog.gz" | head -n 1 | grep -q "^zenotar ($version) " ||
  fail "the changelog's newest entry is not $version"
for page in "$prefix"/share/man/man1/*.1.gz; do
  zcat "$page" | grep -q "^\.TH .* \"zenotar $version\" " || fail "$page: not version $version"
  warnings=$(zcat "$page" | LC_ALL=C.UTF-8 groff -man -ww -z 2>&1)
  [ -z "$warnings" ] || fail "$page (groff): $warnings"
  if command -v mandoc > /dev/null; then
    warnings=$(zcat "$page" | mandoc -Tlint -Wwarning 2>&1) || true
    [ -z "$warnings" ] || fail "$page (mandoc): $warnings"
  fi
done
echo "install tree, versions and manual pages as expected"
