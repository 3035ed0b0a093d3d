#!/usr/bin/env bash
# Builds the Debian package velmora_<version>_amd64.deb from this source tree, offline:
#   tools/make-deb.sh [-o OUTDIR] [-w WORKDIR | -b BUILD]
# The tree's files (those git knows of, with their changes, or the whole folder without git)
# are copied to a scratch folder and built there with Debian's build flags, the tests left out;
# CPack makes the package and dpkg-shlibdeps its library dependencies. The package goes to
# OUTDIR (default: the current folder). With -w the copy and its build are kept in WORKDIR,
# so the next run only rebuilds what changed. With -b the package is made from a build folder
# tools/build.sh made (with the same flags, its debugging information stripped as the package is
# made), without building anything again: the package test does this.
set -euo pipefail
source=$(cd "$(dirname "$0")/.." && pwd)
out=$PWD
work=
build=
while getopts o:w:b: option; do
  case $option in
    o) out=$OPTARG ;;
    w) work=$OPTARG ;;
    b) build=$OPTARG ;;
    *) echo "usage: $0 [-o OUTDIR] [-w WORKDIR | -b BUILD]" >&2; exit 2 ;;
  esac
done
mkdir -p "$out"
out=$(cd "$out" && pwd)

"$source/tools/install-deps.sh"
command -v dpkg-shlibdeps >/dev/null || {
  echo "make-deb: dpkg-shlibdeps not found (package dpkg-dev)" >&2
  exit 1
}

# CPack installs the build into a staging folder of its own under OUTDIR/.staging and packs it.
pack() {
  rm -rf "$out/.staging"
  cpack -G DEB --config "$1/CPackConfig.cmake" -B "$out/.staging" >/dev/null
  for deb in "$out"/.staging/velmora_*.deb; do
    mv "$deb" "$out/"
    echo "$out/$(basename "$deb")"
  done
  rm -rf "$out/.staging"
}

if [ -n "$build" ]; then
  pack "$(cd "$build" && pwd)"
  exit 0
fi

if [ -z "$work" ]; then
  work=$(mktemp -d "${TMPDIR:-/tmp}/velmora-deb.XXXXXX")
  trap 'rm -rf "$work"' EXIT
fi
mkdir -p "$work"
work=$(cd "$work" && pwd)

# The copy keeps the files' times, so a kept build sees only what really changed.
rm -rf "$work/src"
mkdir -p "$work/src"
if git -C "$source" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  git -C "$source" ls-files -z --cached --others --exclude-standard |
    (cd "$source" && tar --null --ignore-failed-read -T - -cf -) | tar -xf - -C "$work/src"
else
  tar -C "$source" --exclude='./build*' -cf - . | tar -xf - -C "$work/src"
fi

source "$source/tools/debian-flags.sh"
debian_flags package
cmake -S "$work/src" -B "$work/obj" -G Ninja -DCMAKE_BUILD_TYPE=None -DCMAKE_INSTALL_PREFIX=/usr \
  -DVELMORA_TESTS=OFF >/dev/null
cmake --build "$work/obj" -j "${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}"
pack "$work/obj"
