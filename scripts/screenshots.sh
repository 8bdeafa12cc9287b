#!/usr/bin/env bash
# Renders the updater's real windows under Xvfb with a Japanese font and saves
# them as PNG in docs/: dialog, browser (the folder browser), notice (product
# not installed), prompt (file cannot be opened), error, done, progress (a long
# update), and dialog-en_US (the dialog on a US English Windows).
#
#   scripts/screenshots.sh          (BUILD_DIR overrides build/)
#
# updater_driver runs each session with --hold: it reports every window's
# screen rectangle and waits until the picture is taken.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
docs=$root/docs

echo "Building (scripts/build.sh $build)..."
bash "$root/scripts/build.sh" --quiet "$build"

# A private X server; -ac lets the unprivileged Wine user draw on it.
display_number=99
while [ -e /tmp/.X11-unix/X$display_number ] || [ -e /tmp/.X$display_number-lock ]; do
  display_number=$((display_number + 1))
done
export DISPLAY=:$display_number
Xvfb "$DISPLAY" -ac -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!

. "$root/scripts/wine-env.sh"
wine_env_init "$build/wine-shots" display
cleanup() {
  wine_server_stop
  kill "$xvfb_pid" 2>/dev/null || true
  wait "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT
for i in $(seq 50); do [ -e /tmp/.X11-unix/X$display_number ] && break; sleep 0.1; done

wine_prefix_ensure
wine_server_start

# Japanese faces mapped to the IPA font; Wine draws the window frames itself
# (there is no window manager here).
wine_map_japanese_fonts
wine_as_user wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1

drive_c=$WINEPREFIX/drive_c
update_dir=$drive_c/StarfallUpdate
install_dir=$drive_c/Games/Starfall
. "$root/scripts/demo/stage.sh"
demo_stage "$build" "$update_dir" "$install_dir" "$WINE_ROOT/shots-manifest.json" quiet
key='HKLM\Software\Quillmark\StarfallDemo'

updater=$(printf 'Z:%s' "$build/bin/updater.exe" | tr / '\\')
mkdir -p "$docs"

# session NAME_OF_WINDOW_1 NAME_OF_WINDOW_2 ... -- ANSWERS...
# A name "-" takes no picture of that window.
session() {
  local names=() answers=()
  while [ "$1" != -- ]; do names+=("$1"); shift; done
  shift
  answers=("$@")
  local hold=$WINE_ROOT/hold
  rm -rf "$hold"; mkdir -p "$hold"
  [ "$(id -u)" -eq 0 ] && chown "$WINE_UID:$WINE_GID" "$hold"
  wine_as_user wine "$build/bin/updater_driver.exe" --hold "$(printf 'Z:%s' "$hold" | tr / '\\')" \
    "$updater" 'C:\StarfallUpdate' "${answers[@]}" >"$hold.log" 2>&1 &
  local driver=$! n=0 name
  for name in "${names[@]}"; do
    n=$((n + 1))
    local i
    for i in $(seq 300); do [ -f "$hold/window-$n.txt" ] && break; sleep 0.1; done
    if [ ! -f "$hold/window-$n.txt" ]; then
      echo "screenshots.sh: window $n ($name) did not appear" >&2
      cat "$hold.log" >&2
      break
    fi
    if [ "$name" != - ]; then
      sleep 0.7  # let it paint
      read -r x y w h <"$hold/window-$n.txt"
      import -display "$DISPLAY" -window root -crop "${w}x${h}+${x}+${y}" +repage "$docs/$name.png"
      echo "  docs/$name.png"
    fi
    touch "$hold/go-$n"
  done
  wait "$driver" || true
}

echo "Taking pictures on $DISPLAY:"
# Not installed: the notice, then the dialog (cancelled).
wine_as_user wine reg delete "$key" /f /reg:32 >/dev/null 2>&1 || true
session notice - -- ok cancel
# Installed, with a read-only readme.txt: dialog, browser (cancelled), the
# dialog again, the open prompt (Abort) and the error box.
wine_as_user wine reg add "$key" /v execute /d 'C:\Games\Starfall\starfall.exe' /f /reg:32 >/dev/null 2>&1
chmod a-w "$install_dir/readme.txt"
session dialog browser - prompt error -- browse cancel ok abort ok
chmod u+w "$install_dir/readme.txt"
# A whole run: the completion box.
session - done -- ok ok
# A long run: a large file (sparse here, so it costs no time to make) keeps
# the copy going for a few seconds; the progress window comes between the
# dialog and the completion box.
big=$update_dir/movies/opening.mpg
mkdir -p "$(dirname "$big")"
truncate -s 2G "$big"
[ "$(id -u)" -eq 0 ] && chown -R "$WINE_UID:$WINE_GID" "$update_dir/movies"
LC_ALL=C sed -i 's/^file=\(.*\)\r$/file=\1;movies\\opening.mpg\r/' "$update_dir/update.ini"
session - progress - -- ok ok
rm -rf "$update_dir/movies" "$install_dir/movies"
# The same dialog on a US English Windows (code page 1252): the same texts.
WINE_LOCALE=en_US.UTF-8
session dialog-en_US -- cancel
