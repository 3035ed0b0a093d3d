#!/usr/bin/env bash
# Installs the Debian packages Velmora needs, when any is missing:
#   tools/install-deps.sh             what building and running the program need
#   tools/install-deps.sh --compile   what building everything, tests and benchmarks included, needs
#   tools/install-deps.sh --tests     all of that, and what running the tests and benchmarks needs
# Runs apt-get directly as root and through sudo otherwise; does nothing when all are present.
set -euo pipefail

# Compiling the program and its office module (the office's SDK brings the office's core;
# libphonenumber: fax numbers checked as typed; libldap: the company directory; libsane: pages
# scanned into the packet).
compile_packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev libgl-dev
  libreoffice-dev libpoppler-qt6-dev libqpdf-dev libtiff-dev
  libphonenumber-dev libldap-dev libsane-dev
)

# Running it (libqt6sql6-sqlite: Qt SQL's SQLite driver, which keeps the record of faxes sent;
# faxes go to a HylaFAX server over its client protocol, spoken by the program itself). The
# office's Writer is checked for below.
run_packages=(
  fonts-liberation fonts-wine
  libqt6sql6-sqlite libsane1
)

# Compiling the tests and benchmarks.
test_compile_packages=(libgtest-dev libgmock-dev)

# Running them (hylafax-server: a fax server on this machine that queues jobs without a modem,
# and its tiffcheck, and the servers of the tests' own (tools/private-fax-server); its start
# script needs ps, which a bare Debian lacks; hylafax-client: faxstat and sendfax, HylaFAX's own
# client, which judges what the server holds; openssl: a password for a test's server;
# libtiff-tools:
# tiffinfo; x11-utils: xmessage, another program's window on the display; a font each for Thai,
# Devanagari and Hangul, and emoji: the scripts a test writes, in fonts of a few faces; the Noto
# fonts the package recommends have some 300, which every office start reads, a sixth more time
# for the whole suite; slapd: the company directory of the tests' own, on 127.0.0.1 with its own
# folder (installed unconfigured: see below); ldap-utils: ldapsearch, its independent reader;
# python3-vobject: another program's reading of the vCard files the phone book writes).
test_run_packages=(
  xvfb xauth xdotool x11-utils
  antiword catdoc python3-olefile
  librsvg2-bin imagemagick faketime poppler-utils
  dpkg-dev lintian appstream desktop-file-utils man-db
  dbus at-spi2-core python3-pyatspi python3-vobject
  hylafax-server hylafax-client openssl procps libtiff-tools
  fonts-tlwg-garuda-ttf fonts-lohit-deva fonts-baekmuk fonts-noto-color-emoji
  slapd ldap-utils
)

writer=yes
case "${1:-}" in
  "") packages=("${compile_packages[@]}" "${run_packages[@]}") ;;
  --compile) packages=("${compile_packages[@]}" "${test_compile_packages[@]}"); writer=no ;;
  --tests)
    packages=("${compile_packages[@]}" "${run_packages[@]}" "${test_compile_packages[@]}"
              "${test_run_packages[@]}") ;;
  *) echo "usage: $0 [--compile | --tests]" >&2; exit 2 ;;
esac

installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}
missing=()
for p in "${packages[@]}"; do
  installed "$p" || missing+=("$p")
done
# The office engine: the headless Writer, or the full one a desktop may already have.
if [ "$writer" = yes ] && ! installed libreoffice-writer && ! installed libreoffice-writer-nogui
then
  missing+=(libreoffice-writer-nogui)
fi

[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
"${as_root[@]}" apt-get update -qq
# slapd unconfigured: no directory of the machine's own is made, and none is started; the tests
# start theirs.
if printf '%s\n' "${missing[@]}" | grep -qx slapd; then
  echo "slapd slapd/no_configuration boolean true" | "${as_root[@]}" debconf-set-selections
fi
DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
