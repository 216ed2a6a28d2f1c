#!/usr/bin/env bash
# Runs the README's two commands in a fresh minimal Debian, made with
# debootstrap from the archive this machine uses: first as a plain user
# without sudo, who must be told in one line which packages to install;
# then as root, both commands in full; then as the plain user again, now
# that the packages are there. A missing install step shows up here, not on
# a user's machine.
set -euo pipefail
cd "$(dirname "$0")/.."

root=$(mktemp -d /var/tmp/zenotar-debian.XXXXXX)
chmod 0755 "$root"  # the plain user must see its root
log=$root.log
cleanup() {
  for mount in dev/pts dev sys proc; do
    umount -l "$root/$mount" 2> /dev/null || true
  done
  rm -rf --one-file-system "$root" "$log"
}
trap cleanup EXIT

mirror=$(awk '/^URIs:/ { print $2; exit }' /etc/apt/sources.list.d/debian.sources 2> /dev/null || true)
[ -n "$mirror" ] || mirror=$(awk '/^deb / { print $2; exit }' /etc/apt/sources.list 2> /dev/null || true)
suite=$(. /etc/os-release && echo "$VERSION_CODENAME")
echo "debootstrap --variant=minbase $suite from $mirror"
if ! debootstrap --variant=minbase "$suite" "$root" "$mirror" > "$log" 2>&1; then
  tail -n 30 "$log"
  exit 1
fi
mount -t proc proc "$root/proc"
mount -t sysfs sys "$root/sys"
mount --bind /dev "$root/dev"
mount --bind /dev/pts "$root/dev/pts"
cp /etc/resolv.conf "$root/etc/resolv.conf"
# What the Debian installer writes on every new system.
printf '127.0.0.1\tlocalhost\n::1\t\tlocalhost ip6-localhost ip6-loopback\n' > "$root/etc/hosts"
chroot "$root" useradd --create-home --shell /bin/bash builder
for home in /root /home/builder; do
  mkdir -p "$root$home/zenotar"
  git archive HEAD | tar -x -C "$root$home/zenotar"
done
chroot "$root" chown -R builder:builder /home/builder/zenotar

# Runs a shell command in the chroot, as user, in that user's copy.
inside() {
  local user=$1 command=$2 home=/root
  [ "$user" = root ] || home=/home/$user
  chroot --userspec="$user:$user" "$root" env -i PATH=/usr/bin:/bin HOME="$home" TERM=dumb \
    CI="${CI:-}" bash -c "cd ~/zenotar && $command"
}
demo="printf 'GET_VERSION\nGET_SAT_POS ISS 3\nquit\n' | bash scripts/demo.sh --time 2008-09-20T12:25:40Z"

echo "== a plain user, no sudo, nothing installed"
if said=$(inside builder "bash scripts/test.sh" 2>&1); then
  echo "the test command passed without its packages"
  exit 1
fi
echo "$said"
[ "$(wc -l <<< "$said")" -eq 1 ] || { echo "more than one line"; exit 1; }
grep -q "^Missing Debian packages: .*; install them as root with: apt-get install " <<< "$said"

echo "== root: the test command, then the demo"
inside root "bash scripts/test.sh" > "$log" 2>&1 || { tail -n 60 "$log"; exit 1; }
tail -n 3 "$log"
out=$(inside root "$demo")
[ "$(grep -c ' sat=25544 lat=' <<< "$out")" -eq 3 ] || { echo "$out"; exit 1; }

echo "== the plain user again, the packages there"
inside builder "bash scripts/test.sh" > "$log" 2>&1 || { tail -n 60 "$log"; exit 1; }
tail -n 3 "$log"
out=$(inside builder "$demo")
[ "$(grep -c ' sat=25544 lat=' <<< "$out")" -eq 3 ] || { echo "$out"; exit 1; }
echo "the README's commands work in a fresh $suite, as root and as a plain user"
