#!/usr/bin/env bash
# Sets up, builds and runs every test under Wine:
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
