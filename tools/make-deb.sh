#!/usr/bin/env bash
# Builds the Debian package velmora_<version>_amd64.deb from this source tree, offline:
#   tools/make-deb.sh [-o OUTDIR] [-w WORKDIR]
# The tree's files (those git knows of, with their changes, or the whole folder without git)
# are copied to a scratch folder and built there with Debian's build flags, the tests left out;
# CPack makes the package and dpkg-shlibdeps its library dependencies. The package goes to
# OUTDIR (default: the current folder). With -w the copy and its build are kept in WORKDIR,
# so the next run only rebuilds what changed.
set -euo pipefail
source=$(cd "$(dirname "$0")/.." && pwd)
out=$PWD
work=
while getopts o:w: option; do
  case $option in
    o) out=$OPTARG ;;
    w) work=$OPTARG ;;
    *) echo "usage: $0 [-o OUTDIR] [-w WORKDIR]" >&2; exit 2 ;;
  esac
done
mkdir -p "$out"
out=$(cd "$out" && pwd)

"$source/tools/install-deps.sh"
command -v dpkg-shlibdeps >/dev/null || {
  echo "make-deb: dpkg-shlibdeps not found (package dpkg-dev)" >&2
  exit 1
}

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

# Debian's hardening and optimisation flags; no debugging information, as the package is
# stripped.
eval "$(DEB_BUILD_MAINT_OPTIONS=hardening=+all DEB_CXXFLAGS_MAINT_STRIP=-g dpkg-buildflags --export=sh)"
export CXXFLAGS="$CXXFLAGS $CPPFLAGS"
cmake -S "$work/src" -B "$work/obj" -G Ninja -DCMAKE_BUILD_TYPE=None -DCMAKE_INSTALL_PREFIX=/usr \
  -DVELMORA_TESTS=OFF >/dev/null
cmake --build "$work/obj" -j "${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}"
rm -f "$work"/obj/velmora_*.deb
(cd "$work/obj" && cpack -G DEB >/dev/null)
for deb in "$work"/obj/velmora_*.deb; do
  mv "$deb" "$out/"
  echo "$out/$(basename "$deb")"
done
