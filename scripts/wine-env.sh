# The one owner of the Wine environment: sourced by the test, demo and
# picture scripts and by scripts/wine-run.
#
#   wine_env_init PREFIX_DIR [null|display]   set the environment for a prefix
#   wine_prefix_ensure                        make the prefix once, reuse it
#   wine_server_start / wine_server_stop      a persistent wineserver
#   wine_as_user CMD...                       run CMD as the Wine user
#
# Run as root, Wine ignores the read-only attribute (a program may open such a
# file for writing), which Windows refuses. So when started as root every Wine
# process runs as an unprivileged user that owns the prefix and its home,
# unless WINE_AS_SELF=1 (the publisher's tool, which must write where its
# caller may) keeps the caller's own user.

WINE_UID=65534
WINE_GID=65534

wine_env_init() {
  WINE_ROOT=$1
  WINE_GRAPHICS=${2:-null}
  export WINEPREFIX=$WINE_ROOT/prefix
  export WINE_HOME=$WINE_ROOT/home
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  # The system's code page comes from the locale's name: 932 for Japanese
  # by default; a test may ask for another one (en_US.UTF-8: 1252,
  # ko_KR.UTF-8: 949). Wine decodes Unix file names in the glibc locale, so
  # each must be installed (scripts/setup.sh).
  export WINE_LOCALE=${WINE_LOCALE:-ja_JP.UTF-8}
  # The users' time zone: with an offset from UTC, a local/stored file time
  # mix-up shows, where UTC would hide it.
  export WINE_TZ=${WINE_TZ:-Asia/Tokyo}
}

# Runs a command as the Wine user, with the Wine environment.
wine_as_user() {
  local envs=(HOME="$WINE_HOME" XDG_CACHE_HOME="$WINE_HOME/.cache"
              WINEPREFIX="$WINEPREFIX" WINEDEBUG="$WINEDEBUG"
              WINEDLLOVERRIDES="$WINEDLLOVERRIDES" LC_ALL="$WINE_LOCALE"
              LANG="$WINE_LOCALE" TZ="$WINE_TZ" PATH="$PATH")
  [ -n "${DISPLAY:-}" ] && envs+=(DISPLAY="$DISPLAY")
  if wine_drops_root; then
    setpriv --reuid=$WINE_UID --regid=$WINE_GID --clear-groups -- \
      env -i "${envs[@]}" "$@"
  else
    env "${envs[@]}" "$@"
  fi
}

wine_drops_root() {
  [ "$(id -u)" -eq 0 ] && [ "${WINE_AS_SELF:-0}" != 1 ]
}

# True when the Wine user can read and enter PATH (checked for the build tree:
# a test executable under a folder closed to others cannot be started).
wine_user_can_reach() {
  wine_as_user test -r "$1"
}

wine_prefix_ensure() {
  local stamp=$WINE_ROOT/.ready-$WINE_GRAPHICS
  [ -f "$stamp" ] && return 0
  mkdir -p "$WINE_ROOT"
  (
    flock 9
    [ -f "$stamp" ] && exit 0
    rm -rf "$WINEPREFIX" "$WINE_HOME"
    mkdir -p "$WINEPREFIX" "$WINE_HOME"
    if wine_drops_root; then
      chown -R $WINE_UID:$WINE_GID "$WINEPREFIX" "$WINE_HOME"
    fi
    echo "Making the Wine prefix $WINEPREFIX (once)..." >&2
    wine_as_user wineboot -i >/dev/null 2>&1 || true
    if [ "$WINE_GRAPHICS" = null ]; then
      # Real windows and message boxes without a display.
      wine_as_user wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
    fi
    wine_as_user wineserver -w
    [ -f "$WINEPREFIX/system.reg" ] || { echo "wineboot failed for $WINEPREFIX" >&2; exit 1; }
    touch "$stamp"
  ) 9>"$WINE_ROOT/.lock"
}

wine_server_start() {
  wine_as_user wineserver -p >"$WINE_ROOT/wineserver.log" 2>&1 &
  # Wait for its socket, so the first program does not start a server of its own.
  local i
  for i in $(seq 50); do
    ls /tmp/.wine-$(wine_drops_root && echo $WINE_UID || id -u)/server-*/socket >/dev/null 2>&1 && break
    sleep 0.1
  done
  # Start Wine's own services now, detached from our output: started by the
  # first test instead, they would inherit its output pipe and keep CTest
  # waiting for its end until the server stops.
  wine_as_user wine cmd.exe /c exit </dev/null >/dev/null 2>&1 || true
}

wine_server_stop() {
  wine_as_user wineserver -k >/dev/null 2>&1 || true
  wine_as_user wineserver -w >/dev/null 2>&1 || true
}

# Maps the Japanese faces the dialog and the message boxes ask for to the IPA
# fonts (fonts-ipafont-gothic), so their text renders on a real display.
wine_map_japanese_fonts() {
  local reg_file=$WINE_ROOT/fonts.reg
  {
    printf '\xff\xfe'
    printf '%s\r\n' 'Windows Registry Editor Version 5.00' '' \
      '[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]' \
      '"ＭＳ Ｐゴシック"="IPAPGothic"' '"ＭＳ ゴシック"="IPAGothic"' \
      '"MS PGothic"="IPAPGothic"' '"MS Gothic"="IPAGothic"' \
      '"MS UI Gothic"="IPAPGothic"' '"MS Shell Dlg"="IPAPGothic"' \
      '"MS Shell Dlg 2"="IPAPGothic"' '"Tahoma"="IPAPGothic"' '' \
      | iconv -f UTF-8 -t UTF-16LE
  } >"$reg_file"
  chmod a+r "$reg_file"
  wine_as_user wine regedit /S "$(printf 'Z:%s' "$reg_file" | tr / '\\')" >/dev/null 2>&1
}
