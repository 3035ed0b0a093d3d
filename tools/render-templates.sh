#!/usr/bin/env bash
# Renders the embedded cover-sheet templates to PNG so a person can look at them.
#
#   tools/render-templates.sh [OUTDIR] [DPI]     default: build/template-previews, 60 dpi
#
# Opens the committed templates/*.dot (what the program ships) with a headless LibreOffice on
# a throwaway profile and templates/fonts.conf, exports PDF and rasterises the first page with
# pdftoppm (poppler-utils). Writes OUTDIR/<name>.png and OUTDIR/<name>.pdf.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/build/template-previews}
dpi=${2:-60}
names=(casual contemporary professional standard)

for tool in soffice pdftoppm; do
  command -v "$tool" >/dev/null || { echo "render-templates: '$tool' not found" >&2; exit 1; }
done

work=$(mktemp -d /tmp/velmora-render.XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"
out=$(cd "$out" && pwd)

export FONTCONFIG_FILE=$root/templates/fonts.conf
(cd "$root/templates" &&
  soffice -env:UserInstallation="file://$work/profile" --headless --norestore --nologo --nolockcheck \
    --convert-to pdf --outdir "$out" "${names[@]/%/.dot}" >"$work/soffice.log" 2>&1) ||
  { cat "$work/soffice.log" >&2; exit 1; }

for name in "${names[@]}"; do
  pdftoppm -png -r "$dpi" -f 1 -l 1 -singlefile "$out/$name.pdf" "$out/$name"
  echo "$out/$name.png"
done
