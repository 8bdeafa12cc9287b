#!/usr/bin/env bash
# Configures and builds the project: scripts/build.sh [--quiet] [BUILD_DIR]
# --quiet keeps the compiler's output to itself unless the build fails.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
quiet=0
if [ "${1:-}" = --quiet ]; then quiet=1; shift; fi
build=${1:-${BUILD_DIR:-$root/build}}

configure_and_build() {
  bash "$root/scripts/setup.sh"
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build" -j"$(nproc)"
}

if [ $quiet = 0 ]; then
  configure_and_build
  exit
fi
log=$(mktemp)
trap 'rm -f "$log"' EXIT
if ! configure_and_build >"$log" 2>&1; then
  tail -n 40 "$log" >&2
  exit 1
fi
