#!/usr/bin/env bash
# Sets up, builds and runs every test under Wine, then (for a full run, with
# no CTest arguments) checks that a release rebuilds byte for byte and fuzzes
# the readers natively for a short while:
#   scripts/test.sh [CTEST ARGS...]      (BUILD_DIR overrides build/)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
bash "$root/scripts/build.sh" "$build"

. "$root/scripts/wine-env.sh"
wine_env_init "$build/wine" null
if ! wine_user_can_reach "$build/CMakeCache.txt"; then
  echo "test.sh: the Wine user (uid $WINE_UID) cannot read $build;" \
       "use a build folder that others can enter (BUILD_DIR=...)" >&2
  exit 1
fi
wine_prefix_ensure
# One persistent wineserver for the whole run: each start then costs
# milliseconds instead of seconds. Stopped on every way out.
trap wine_server_stop EXIT
wine_server_start
cd "$build"
ctest --output-on-failure -j"$(nproc)" "$@"
if [ $# -eq 0 ]; then
  wine_server_stop
  # Two releases from two temporary folders, compared (about a minute or two
  # on two cores: only the two programs are built).
  bash "$root/scripts/release.sh" --check
  # Every seed and every input that ever found a fault, once, under the
  # sanitizers, then a few seconds of fuzzing per target.
  BUILD_DIR=$build bash "$root/scripts/fuzz.sh" --ci
fi
