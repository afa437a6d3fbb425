#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Tries the README's commands as a newcomer would, on fresh minimal Debian 12 roots made with
# debootstrap (as root; it takes the better part of an hour on two cores):
#   1. a root with only git and make: clone, `make test` as root, then `make package`;
#   2. the same as a normal user on a root without sudo: `make test` must stop and print one
#      command; that command, run as root, must be all it takes for the user's `make test`;
#   3. a second fresh root: install the package, `tavimo-cli --version`, one real conversion,
#      `apt-get remove`, and nothing of the package left behind.
# Usage: scripts/check-fresh-machine.sh [--skip-user] [REPOSITORY]   (default: this clone)
# Environment: MIRROR (default http://deb.debian.org/debian), WORK (default: a folder in /var/tmp).
set -euo pipefail

skip_user=0
if [ "${1:-}" = --skip-user ]; then
  skip_user=1
  shift
fi
repo=$(realpath "${1:-$(dirname "$0")/..}")
mirror=${MIRROR:-http://deb.debian.org/debian}
[ "$(id -u)" -eq 0 ] || { echo "run as root (debootstrap and chroot need it)" >&2; exit 2; }
command -v debootstrap >/dev/null || { echo "needs debootstrap: apt-get install debootstrap" >&2; exit 2; }
command -v ffmpeg >/dev/null || { echo "needs the ffmpeg command for the sample video" >&2; exit 2; }

work=${WORK:-$(mktemp -d /var/tmp/tavimo-fresh-XXXXXX)}
mkdir -p "$work"
mounted=()

# Every mount is undone on every way out, innermost first.
cleanup() {
  local i
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
    umount -R "${mounted[i]}" 2>/dev/null || umount -lR "${mounted[i]}" 2>/dev/null || true
  done
  if [ -z "${KEEP:-}" ]; then
    rm -rf --one-file-system "$work"
  else
    echo "kept: $work"
  fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

mount_into() { # ROOT: the kernel's file systems, the repository read-only, the resolver
  local root=$1
  mount -t proc proc "$root/proc" && mounted+=("$root/proc")
  mount --rbind /sys "$root/sys" && mount --make-rslave "$root/sys" && mounted+=("$root/sys")
  mount --rbind /dev "$root/dev" && mount --make-rslave "$root/dev" && mounted+=("$root/dev")
  mkdir -p "$root/mnt/origin"
  mount --bind "$repo" "$root/mnt/origin" && mount -o remount,bind,ro "$root/mnt/origin" &&
    mounted+=("$root/mnt/origin")
  cp -L /etc/resolv.conf "$root/etc/resolv.conf"
}

in_root() { # ROOT COMMAND: runs COMMAND with sh in ROOT, with a plain environment
  local root=$1
  shift
  chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin TERM=dumb \
    sh -c "$*"
}

stamp() { date +%s; }
took() { echo "$1: $(($(stamp) - $2)) s" | tee -a "$work/times.txt"; }

echo "working in $work"
t=$(stamp)
debootstrap --variant=minbase bookworm "$work/pristine" "$mirror" >"$work/debootstrap.log" 2>&1
took "debootstrap" "$t"

fresh() { # NAME: a copy of the pristine root, mounted
  cp -a "$work/pristine" "$work/$1"
  mount_into "$work/$1"
}

# 1. As root: git and make, then the README's commands.
fresh root
in_root "$work/root" "apt-get update -qq && DEBIAN_FRONTEND=noninteractive \
  apt-get install -y -qq --no-install-recommends git make ca-certificates >/dev/null"
in_root "$work/root" "git clone -q /mnt/origin /root/tavimo"
t=$(stamp)
in_root "$work/root" "cd /root/tavimo && make test" >"$work/root-test.log" 2>&1 ||
  { tail -50 "$work/root-test.log"; echo "FAILED: make test as root" >&2; exit 1; }
took "make test as root (packages, build, tests)" "$t"
grep -E 'tests passed|tests failed|Not Run|Skipped' "$work/root-test.log" | tail -3
if grep -q 'SKIPPED\|Skipped' "$work/root-test.log"; then
  echo "note: some tests were skipped, see $work/root-test.log"
fi
t=$(stamp)
in_root "$work/root" "cd /root/tavimo && make package" >"$work/root-package.log" 2>&1 ||
  { tail -30 "$work/root-package.log"; echo "FAILED: make package" >&2; exit 1; }
took "make package" "$t"
deb=$(ls "$work"/root/root/tavimo/build/tavimo_*.deb)
du -shx "$work/root" 2>/dev/null | sed 's/^/size of the root after make test and make package: /'

# 2. As a normal user without sudo: the printed command must be all it takes.
if [ "$skip_user" -eq 0 ]; then
  fresh user
  in_root "$work/user" "apt-get update -qq && DEBIAN_FRONTEND=noninteractive \
    apt-get install -y -qq --no-install-recommends git make >/dev/null && useradd -m anna"
  # Git will not read a repository another user owns, so root clones it for anna.
  in_root "$work/user" "git clone -q /mnt/origin /home/anna/tavimo && chown -R anna: /home/anna/tavimo"
  if in_root "$work/user" "su anna -c 'cd ~/tavimo && make test'" >"$work/user-1.log" 2>&1; then
    echo "FAILED: make test as a user passed without any packages" >&2
    exit 1
  fi
  command=$(sed -n 's/^  \(su -c .*\)$/\1/p' "$work/user-1.log")
  [ -n "$command" ] || { cat "$work/user-1.log"; echo "FAILED: no su -c command printed" >&2; exit 1; }
  echo "printed: $command"
  t=$(stamp)
  # `su -c CMD` run by root is CMD run by root.
  in_root "$work/user" "$command" >"$work/user-install.log" 2>&1
  in_root "$work/user" "su anna -c 'cd ~/tavimo && make test'" >"$work/user-2.log" 2>&1 ||
    { tail -50 "$work/user-2.log"; echo "FAILED: make test as a user after the command" >&2; exit 1; }
  took "printed command, then make test as a user" "$t"
  grep -E 'tests passed|tests failed' "$work/user-2.log" | tail -1
fi

# 3. The package on a second fresh root.
fresh install
cp "$deb" "$work/install/root/"
ffmpeg -nostdin -v error -y -f lavfi -i "sine=frequency=440:duration=5:sample_rate=48000" \
  -f lavfi -i "testsrc=size=160x120:rate=25:duration=5" -c:a mp2 -c:v mpeg1video \
  "$work/install/root/probe.mpg"
t=$(stamp)
in_root "$work/install" "apt-get update -qq && DEBIAN_FRONTEND=noninteractive \
  apt-get install -y -qq /root/$(basename "$deb") >/dev/null"
took "installing the package" "$t"
in_root "$work/install" "cd / && tavimo-cli --version"
in_root "$work/install" "tavimo-cli -o /root/probe.mp3 /root/probe.mpg"
ffprobe -v error -show_entries format=duration -of csv=p=0 "$work/install/root/probe.mp3" |
  sed 's/^/converted: probe.mp3 lasts /'
in_root "$work/install" "dpkg -L tavimo" >"$work/package-files.txt"
in_root "$work/install" "DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq tavimo >/dev/null"
left=0
while read -r f; do
  if [ -e "$work/install$f" ] && [ ! -d "$work/install$f" ]; then
    echo "left behind: $f"
    left=1
  fi
done <"$work/package-files.txt"
[ "$left" -eq 0 ] || { echo "FAILED: apt-get remove left files" >&2; exit 1; }
echo "apt-get remove left none of the package's files"

echo
echo "all steps passed; times:"
cat "$work/times.txt"
