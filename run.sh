#!/usr/bin/env bash
# Installs what is missing, builds and starts Velmora.
set -euo pipefail
cd "$(dirname "$0")"
tools/build.sh --program
exec "${BUILD:-build}/bin/velmora" "$@"
