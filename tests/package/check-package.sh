#!/usr/bin/env bash
# check-package.sh SOURCE BUILD WORK VERSION APPSTREAM_ID: makes the package from the build folder
# and checks its files, its Depends, lintian, the AppStream data, the desktop entry and the manual
# page.
set -euo pipefail
source=$1 build=$2 work=$3 version=$4 id=$5
failures=0
fail() { echo "FAILED: $*" >&2; failures=$((failures + 1)); }

rm -rf "$work"
"$source/tools/make-deb.sh" -o "$work/out" -b "$build"
deb=$work/out/velmora_${version}_amd64.deb
[ -f "$deb" ] || { echo "FAILED: no $deb" >&2; ls "$work/out" >&2; exit 1; }
dpkg-deb --info "$deb"

# Exactly these files, nothing the tests or the build left behind.
expected="./usr/bin/velmora
./usr/lib/velmora/libvelmora-office.so
./usr/lib/velmora/velmora-fonts.conf
./usr/share/applications/$id.desktop
./usr/share/doc/velmora/changelog.gz
./usr/share/doc/velmora/copyright
./usr/share/icons/hicolor/128x128/apps/velmora.png
./usr/share/icons/hicolor/256x256/apps/velmora.png
./usr/share/icons/hicolor/32x32/apps/velmora.png
./usr/share/icons/hicolor/48x48/apps/velmora.png
./usr/share/icons/hicolor/scalable/apps/velmora.svg
./usr/share/lintian/overrides/velmora
./usr/share/man/man1/velmora.1.gz
./usr/share/metainfo/$id.metainfo.xml"
actual=$(dpkg-deb --fsys-tarfile "$deb" | tar -t | grep -v '/$' | LC_ALL=C sort)
[ "$actual" = "$(LC_ALL=C sort <<<"$expected")" ] ||
  fail "file list: $(diff <(LC_ALL=C sort <<<"$expected") <(echo "$actual") | grep '^[<>]' | tr '\n' ' ')"

# What dpkg-shlibdeps found, and what the program needs at run time beyond libraries.
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "Version is not $version"
depends=$(dpkg-deb -f "$deb" Depends)
for needed in 'libc6 (>=' 'libqt6widgets6 (>=' 'libpoppler-qt6-3 (>=' 'libuno-cppu3 (>=' \
  'libreoffice-writer-nogui | libreoffice-writer' 'fonts-liberation' 'fonts-wine' \
  'libqt6sql6-sqlite'; do
  [[ "$depends" == *"$needed"* ]] || fail "Depends lacks '$needed': $depends"
done
# Fonts for the world's scripts: recommended, not required.
recommends=$(dpkg-deb -f "$deb" Recommends)
for wanted in fonts-noto-core fonts-noto-cjk fonts-noto-color-emoji; do
  [[ "$recommends" == *"$wanted"* ]] || fail "Recommends lacks '$wanted': $recommends"
done

echo "--- lintian"
# Overridden tags are shown with their reasons, but only tags left over fail. Lintian keeps caches
# of its own in the temporary folder and leaves them there: it gets one under $work.
mkdir -p "$work/lintian-tmp"
lintian_tmp=$work/lintian-tmp
TMPDIR=$lintian_tmp lintian --show-overrides "$deb" || true
TMPDIR=$lintian_tmp lintian --fail-on error,warning "$deb" || fail "lintian"
rm -rf "$lintian_tmp"

mkdir -p "$work/root"
dpkg-deb -x "$deb" "$work/root"
root=$work/root/usr/share
echo "--- appstreamcli"
appstreamcli validate --no-net "$root/metainfo/$id.metainfo.xml" || fail "appstreamcli validate"
grep -q "<release version=\"$version\"" "$root/metainfo/$id.metainfo.xml" ||
  fail "metainfo has no release $version"
# The software centres find the menu entry by the ID, and check every address they are given:
# none may be a placeholder.
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$root/metainfo/$id.metainfo.xml" ||
  fail "metainfo does not launch $id.desktop"
! grep -qE '[a-z0-9]\.example\b' "$root/metainfo/$id.metainfo.xml" ||
  fail "metainfo names a placeholder address"
echo "--- desktop-file-validate"
desktop-file-validate "$root/applications/$id.desktop" || fail "desktop-file-validate"

echo "--- man"
page=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$root/man/man1/velmora.1.gz" \
  2>"$work/man.err") || fail "man page does not render"
[ ! -s "$work/man.err" ] || fail "man page warnings: $(cat "$work/man.err")"
[[ "$page" == *"Velmora $version"* ]] || fail "man page does not name version $version"
# Every environment variable the program reads is described.
names=$(cd "$source" && grep -rhoE \
  '(getenv|qgetenv|qEnvironmentVariable[A-Za-z]*)\("[A-Z_0-9]+"|"VELMORA_[A-Z_0-9]+"' \
  main.cpp shell coversheet fax editor preview resources | grep -oE '[A-Z_0-9]{3,}' | sort -u)
for name in $names; do
  zcat "$root/man/man1/velmora.1.gz" | grep -qw -- "$name" || fail "man page lacks $name"
done
echo "man page describes: $(echo $names)"

exit $((failures > 0))
