#!/usr/bin/env bash
# Rebuilds the embedded cover-sheet templates (templates/*.dot) from their hand-written
# Flat ODT sources with a headless LibreOffice.
#
#   tools/make-templates.sh            rebuild templates/{casual,contemporary,professional,standard}.dot
#   tools/make-templates.sh --check    rebuild into a scratch folder and fail if any committed .dot differs
#
# Needs soffice (libreoffice-writer-nogui), rsvg-convert (librsvg2-bin) and convert
# (imagemagick) for the Casual artwork, and faketime (faketime): the Professional header
# carries a live date field whose stored result is whatever day the conversion runs, so the
# clock is pinned to keep the output byte-for-byte reproducible.
#
# The office runs on a throwaway profile, so a user's profile and a running office are never
# touched, and with templates/fonts.conf, so the Windows font names resolve the way they do
# for the program.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
src=$root/templates
names=(casual contemporary professional standard)
check=false
case "${1-}" in
  --check) check=true ;;
  "") ;;
  *) echo "usage: $0 [--check]" >&2; exit 2 ;;
esac

for tool in soffice rsvg-convert convert faketime; do
  command -v "$tool" >/dev/null || { echo "make-templates: '$tool' not found" >&2; exit 1; }
done

work=$(mktemp -d /tmp/velmora-templates.XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/profile/user" "$work/in" "$work/out"

# Writer's own default fonts would otherwise add Liberation and DejaVu entries to every
# font table; point them at Times New Roman, which Word files list first anyway.
{
  echo '<?xml version="1.0" encoding="UTF-8"?>'
  echo '<oor:items xmlns:oor="http://openoffice.org/2001/registry" xmlns:xs="http://www.w3.org/2001/XMLSchema" xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance">'
  for group in DefaultFont DefaultFontCJK DefaultFontCTL; do
    for key in Standard Heading List Caption Index; do
      echo "<item oor:path=\"/org.openoffice.Office.Writer/$group\"><prop oor:name=\"$key\" oor:op=\"fuse\"><value>Times New Roman</value></prop></item>"
    done
  done
  echo '</oor:items>'
} >"$work/profile/user/registrymodifications.xcu"

# The Casual artwork is kept as SVG; the sheet embeds it as a 200 dpi JPEG (a .doc stores an
# SVG only as a small bitmap of its own making), on the white of the page. A JPEG goes into
# the page's PDF as it is, where a PNG would be encoded anew for every preview (100 ms). The
# source marks the spot with a line holding @clipboard.png@.
rsvg-convert --width 1560 --height 2000 \
  -o "$work/clipboard.png" "$src/clipboard.svg"
convert "$work/clipboard.png" -background white -alpha remove -alpha off \
  -quality 92 -sampling-factor 4:4:4 "$work/clipboard.jpg"
base64 -w 76 "$work/clipboard.jpg" >"$work/clipboard.b64"
for name in "${names[@]}"; do
  sed -e "/@clipboard.png@/{r $work/clipboard.b64" -e 'd}' "$src/$name.fodt" >"$work/in/$name.fodt"
done

export FONTCONFIG_FILE=$src/fonts.conf
(cd "$work/in" &&
  faketime '2001-01-01 12:00:00' soffice -env:UserInstallation="file://$work/profile" \
    --headless --norestore --nologo --nolockcheck \
    --convert-to 'dot:MS Word 97 Vorlage' --outdir "$work/out" "${names[@]/%/.fodt}" \
    >"$work/soffice.log" 2>&1) || { cat "$work/soffice.log" >&2; exit 1; }

status=0
for name in "${names[@]}"; do
  if [ ! -s "$work/out/$name.dot" ]; then
    echo "make-templates: no output for $name" >&2; cat "$work/soffice.log" >&2; exit 1
  fi
  if $check; then
    cmp -s "$work/out/$name.dot" "$src/$name.dot" || { echo "templates/$name.dot is out of date" >&2; status=1; }
  else
    cp "$work/out/$name.dot" "$src/$name.dot"
    echo "templates/$name.dot ($(stat -c %s "$src/$name.dot") bytes)"
  fi
done
exit $status
