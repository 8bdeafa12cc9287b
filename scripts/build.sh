#!/usr/bin/env bash
# Configures and builds the project:
#   scripts/build.sh [--quiet|--progress] [BUILD_DIR [TARGET...]]
# --quiet keeps the compiler's output to itself unless the build fails;
# --progress shows only CMake's step lines ("[ 42%] Building ...") and the
# full output if the build fails. With TARGETs only those are built.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
mode=all
case "${1:-}" in
  --quiet) mode=quiet; shift ;;
  --progress) mode=progress; shift ;;
  -*) echo "build.sh: unknown option '$1' (usage: build.sh [--quiet|--progress] [BUILD_DIR [TARGET...]])" >&2
      exit 2 ;;
esac
build=${1:-${BUILD_DIR:-$root/build}}
[ $# -gt 0 ] && shift
targets=()
[ $# -gt 0 ] && targets=(--target "$@")

# Chained with &&: called as part of || below, set -e would not stop it.
configure_and_build() {
  bash "$root/scripts/setup.sh" &&
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null &&
    cmake --build "$build" -j"$(nproc)" "${targets[@]}"
}

if [ $mode = all ]; then
  configure_and_build
  exit
fi
log=$(mktemp)
trap 'rm -f "$log"' EXIT
status=0
if [ $mode = quiet ]; then
  configure_and_build >"$log" 2>&1 || status=$?
else
  configure_and_build 2>&1 | tee "$log" |
    { grep --line-buffered -E '^\[ *[0-9]+%\]' || true; } || status=$?
fi
if [ $status -ne 0 ]; then
  tail -n 40 "$log" >&2
  exit 1
fi
