# The demo's stage, sourced by demo.sh and screenshots.sh after wine-env.sh's
# wine_env_init: an installed "Starfall" and its update folder, the archives
# of both packed by the publisher's tool as a publisher would.
#
#   demo_stage BUILD UPDATE_DIR INSTALL_DIR MANIFEST [quiet]
#
# Without "quiet" it shows the tool's commands and what they printed.

# Windows path of a Linux path: C: for the prefix's drive_c, else Z:.
winpath() {
  case "$1" in
    "$WINEPREFIX/drive_c"/*) printf 'C:%s' "${1#"$WINEPREFIX/drive_c"}" | tr / '\\' ;;
    *) printf 'Z:%s' "$1" | tr / '\\' ;;
  esac
}

demo_stage() {
  local build=$1 update_dir=$2 install_dir=$3 manifest=$4 quiet=${5:-}
  local sources=$WINEPREFIX/drive_c/StarfallSources
  local stage_root=$root/scripts/demo
  python3 "$stage_root/make_demo.py" folders "$build/bin/e2e-fixtures" \
    "$update_dir" "$install_dir" "$sources"
  if [ "$(id -u)" -eq 0 ]; then
    chown -R "$WINE_UID:$WINE_GID" "$update_dir" "$install_dir" "$sources"
  fi
  local tool
  tool() {
    [ -z "$quiet" ] && echo "  \$ updtool $*"
    # Through a pipe: the tool then writes UTF-8, not console text.
    wine_as_user wine "$build/bin/updtool.exe" "$@" 2>&1 | tr -d '\r' |
      { if [ -z "$quiet" ]; then sed 's/^/    /'; else cat >/dev/null; fi; }
  }
  # The installed archive as an earlier update shipped it, then this
  # update's, one revision later.
  tool pack "$(winpath "$install_dir")\\data.pak" "$(winpath "$sources")\\installed" --revision 11 -q
  tool pack "$(winpath "$update_dir")\\data.pak" "$(winpath "$sources")\\shipped" \
    --after "$(winpath "$install_dir")\\data.pak"
  tool list "$(winpath "$update_dir")\\data.pak"
  touch -d @978350400 "$install_dir/data.pak"
  touch -d @1735732800 "$update_dir/data.pak"
  python3 "$stage_root/make_demo.py" manifest "$update_dir" "$install_dir" "$manifest"
  # The publisher's key, kept out of the update folder; the update is
  # signed with it, and the installed product trusts it (demo.sh gives the
  # registry DEMO_PUBLIC_KEY).
  local key="$sources/publisher.pem"
  rm -f "$key"
  [ -z "$quiet" ] && echo "  \$ updtool keygen $(winpath "$key") --brand Quillmark --name StarfallDemo"
  local made
  made=$(wine_as_user wine "$build/bin/updtool.exe" keygen "$(winpath "$key")" \
    --brand Quillmark --name StarfallDemo 2>&1 | tr -d '\r')
  [ -z "$quiet" ] && printf '%s\n' "$made" | sed 's/^/    /'
  DEMO_PUBLIC_KEY=$(printf '%s\n' "$made" | sed -n 's/^public key: //p')
  tool sign "$(winpath "$update_dir")" --key "$(winpath "$key")" --sequence 1
}
