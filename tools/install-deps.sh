#!/usr/bin/env bash
# Installs the Debian packages Velmora needs, when any is missing:
#   tools/install-deps.sh           what building and running the program need
#   tools/install-deps.sh --tests   that, and what the tests and benchmarks need
# Runs apt-get directly as root and through sudo otherwise; does nothing when all are present.
set -euo pipefail

# Building and running (hylafax-client: "Send Fax..." hands faxes to a HylaFAX server with its
# sendfax).
packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev libgl-dev
  libreoffice-dev libpoppler-qt6-dev libqpdf-dev libtiff-dev
  fonts-liberation fonts-wine
  hylafax-client
)

# The tests and benchmarks (hylafax-server: a fax server on this machine that queues jobs without
# a modem, and its tiffcheck; its start script needs ps, which a bare Debian lacks; libtiff-tools:
# tiffinfo; x11-utils: xmessage, another program's window on the display).
test_packages=(
  libgtest-dev libgmock-dev
  xvfb xauth xdotool x11-utils
  antiword catdoc python3-olefile
  librsvg2-bin imagemagick faketime poppler-utils
  dpkg-dev lintian appstream desktop-file-utils man-db
  dbus at-spi2-core python3-pyatspi
  hylafax-server procps libtiff-tools
)

case "${1:-}" in
  "") ;;
  --tests) packages+=("${test_packages[@]}") ;;
  *) echo "usage: $0 [--tests]" >&2; exit 2 ;;
esac

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
# The office engine: the headless Writer, or the full one a desktop may already have.
if ! dpkg-query -W -f='${Status}' libreoffice-writer 2>/dev/null | grep -q 'install ok installed' &&
   ! dpkg-query -W -f='${Status}' libreoffice-writer-nogui 2>/dev/null | grep -q 'install ok installed'; then
  missing+=(libreoffice-writer-nogui)
fi

[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
"${as_root[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
