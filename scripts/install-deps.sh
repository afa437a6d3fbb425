#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages one of the make targets needs, when any is missing:
#   scripts/install-deps.sh run       building the program and opening the window (make run)
#   scripts/install-deps.sh test      building and running every test and benchmark (make test)
#   scripts/install-deps.sh package   building the Debian package and checking it (make package)
#   scripts/install-deps.sh list SET  prints the set, one package a line
# As root it installs them; as anyone else it prints the one command that does, for root.
set -euo pipefail

# Building the program, and what the window needs at run time but no library links to.
run=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libavformat-dev libavcodec-dev libavutil-dev libswresample-dev
  libmp3lame-dev libebur128-dev libtag1-dev
  qt6-translations-l10n fonts-liberation2
)
# The tests: GoogleTest, media fixtures made by the ffmpeg command, the fuzz target (clang with
# its libFuzzer and sanitizer runtimes), the desktop files' validators, a private session bus
# and an icon theme for the window's tests, sox as a second reader of WAV files; the benchmarks
# compare with the lame command and do their sums with time and bc.
test=(
  "${run[@]}"
  libgtest-dev libgmock-dev
  ffmpeg clang libclang-rt-14-dev
  desktop-file-utils appstream
  dbus-daemon adwaita-icon-theme sox
  lame time bc
)
# The package: CPack's DEB generator asks `file` and dpkg-shlibdeps, lintian checks the result.
package=(
  "${run[@]}"
  file dpkg-dev lintian
)

usage() {
  echo "usage: $0 run|test|package | list run|test|package" >&2
  exit 2
}

[ $# -ge 1 ] || usage
if [ "$1" = list ]; then
  [ $# -eq 2 ] || usage
  set -- "$2" list
fi
case "$1" in
  run) wanted=("${run[@]}") ;;
  test) wanted=("${test[@]}") ;;
  package) wanted=("${package[@]}") ;;
  *) usage ;;
esac
if [ "${2:-}" = list ]; then
  printf '%s\n' "${wanted[@]}" | sort -u
  exit 0
fi

missing=()
for p in $(printf '%s\n' "${wanted[@]}" | sort -u); do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

# The same command for root and for the user told to run it: no Recommends, so both get
# exactly this set and nothing else.
install="apt-get update && DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
  echo "Installing the missing Debian packages: ${missing[*]}"
  sh -c "$install"
  exit 0
fi

echo "Missing Debian packages: ${missing[*]}" >&2
echo "Please run this command (it asks for the root password), then try again:" >&2
if command -v sudo >/dev/null 2>&1; then
  echo "  sudo sh -c '$install'" >&2
else
  echo "  su -c '$install'" >&2
fi
exit 1
