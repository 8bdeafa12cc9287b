#!/usr/bin/env bash
# The demo: installs what is missing, builds, makes an installed "Starfall"
# product and its update folder in a Wine prefix of its own, runs updater.exe
# on it and says what happened.
#
#   scripts/demo.sh                 driven without a display; every window
#                                   the updater shows is printed
#   scripts/demo.sh --interactive   the real dialog on $DISPLAY, to click
#                                   through yourself
#
# BUILD_DIR (default build/) selects the build folder. Safe to run again:
# the demo's folders are made afresh each time.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
mode=driven
case "${1:-}" in
  "") ;;
  --interactive) mode=interactive ;;
  *) echo "usage: scripts/demo.sh [--interactive]" >&2; exit 2 ;;
esac
if [ $mode = interactive ] && [ -z "${DISPLAY:-}" ]; then
  echo "demo.sh: --interactive needs a display (DISPLAY is not set)" >&2
  exit 2
fi

# Wine must be there before the prefix is made beside the build.
bash "$root/scripts/setup.sh"
. "$root/scripts/wine-env.sh"
if [ $mode = interactive ]; then
  wine_env_init "$build/wine-demo-ui" display
else
  wine_env_init "$build/wine-demo" null
fi
# A new Wine prefix is made while the programs compile, not after them.
mkdir -p "$build"
wine_prefix_ensure &
prefix_job=$!

# Only the three programs the demo runs (and the four product files the
# driver's target brings), not the tests.
echo "Building updater.exe, updtool.exe and updater_driver.exe in $build..."
build_status=0
bash "$root/scripts/build.sh" --progress "$build" updater updtool updater_driver || build_status=$?
prefix_status=0
wait $prefix_job || prefix_status=$?
[ $build_status -eq 0 ] || exit $build_status
[ $prefix_status -eq 0 ] || { echo "demo.sh: the Wine prefix could not be made" >&2; exit 1; }
trap wine_server_stop EXIT
wine_server_start
[ $mode = interactive ] && wine_map_japanese_fonts

. "$root/scripts/demo/stage.sh"

drive_c=$WINEPREFIX/drive_c
update_dir=$drive_c/StarfallUpdate
install_dir=$drive_c/Games/Starfall
manifest=$WINE_ROOT/demo-manifest.json
# The installed product, as its installer records it: 32-bit view, like
# the 32-bit updater reads it.
wine_as_user wine reg add 'HKLM\Software\Quillmark\StarfallDemo' /v execute \
  /d 'C:\Games\Starfall\starfall.exe' /f /reg:32 >/dev/null 2>&1

echo "Installed product: C:\\Games\\Starfall (registry: HKLM\\Software\\Quillmark\\StarfallDemo, execute)"
echo "The publisher packs the archives with updtool:"
demo_stage "$build" "$update_dir" "$install_dir" "$manifest"
if [ -z "$DEMO_PUBLIC_KEY" ]; then
  echo "demo.sh: updtool keygen gave no public key" >&2
  exit 1
fi
# The installer's part: the product trusts the publisher's key.
wine_as_user wine reg add 'HKLM\Software\Quillmark\StarfallDemo' /v UpdateKeys \
  /d "$DEMO_PUBLIC_KEY" /f /reg:32 >/dev/null 2>&1
echo "Installed product's trust anchor: UpdateKeys = the publisher's public key"
echo "Update folder:     C:\\StarfallUpdate"
sed 's/^/    /' "$update_dir/update.ini" | iconv -f CP932 -t UTF-8 | tr -d '\r'
echo
echo "What the updater will do there, as updtool plan sees it:"
wine_as_user wine "$build/bin/updtool.exe" plan 'C:\StarfallUpdate' 2>&1 | tr -d '\r' | sed 's/^/    /'
echo

updater=$(winpath "$build/bin/updater.exe")
status=0
if [ $mode = interactive ]; then
  echo "Starting updater.exe on $DISPLAY; answer its windows yourself."
  if [ "$(id -u)" -eq 0 ]; then
    echo "(Wine runs as uid $WINE_UID; if no window appears, allow it on the display: xhost +si:localuser:nobody)"
  fi
  # The updater reads everything relative to its current folder.
  (cd "$update_dir" && wine_as_user wine "$updater" /log) || status=$?
else
  echo "Running updater.exe /log under Wine, driven by updater_driver (OK in the dialog, OK in each box):"
  # Through a pipe, so Wine passes the driver's UTF-8 bytes on untouched.
  wine_as_user wine "$build/bin/updater_driver.exe" --args /log "$updater" 'C:\StarfallUpdate' ok ok \
    | tr -d '\r' | sed 's/^/  /' || status=$?
fi
echo
python3 "$root/scripts/demo/report.py" "$manifest" "$install_dir" || status=$?

# The run's record (asked for with /log): the newest in the Wine user's
# temporary folder.
record=$(ls -t "$drive_c"/users/*/Temp/updater\ *.log 2>/dev/null | head -n 1 || true)
if [ -n "$record" ]; then
  echo
  echo "The updater's record of this run: C:${record#"$drive_c"}" | tr / '\\'
  sed '1s/^\xEF\xBB\xBF//' "$record" | tr -d '\r' | sed 's/^/    /'
else
  echo "The updater left no record of this run." >&2
  status=1
fi
exit $status
