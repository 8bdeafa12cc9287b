#!/usr/bin/env bash
# scripts/updtool, run against a stand-in for Wine that prints what it was
# given and writes to both outputs by turns (a second apart, so that a busy
# machine keeps the order): arguments mapped to drive Z:,
# standard error passed on as it comes, whatever bytes it holds, and the
# tool's exit code kept.
#   wrapper_test.sh SOURCE_DIR
set -euo pipefail
source_dir=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/build/bin" "$work/build/wine-tool-$(id -u)" "$work/fake"
touch "$work/build/bin/updtool.exe" "$work/build/wine-tool-$(id -u)/.ready-null"
cat >"$work/fake/wine" <<'FAKE'
#!/usr/bin/env bash
shift  # the program
printf 'arg %s\n' "$@"
sleep 1
printf 'err one\n' >&2
sleep 1
printf 'out two\n'
sleep 1
printf 'wine: Read access denied for device L"\\\\??\\\\Z:\\\\"\n' >&2
printf 'err \0 two\n' >&2
exit 3
FAKE
chmod +x "$work/fake/wine"

failures=0
expect() {  # expect LABEL EXPECTED ACTUAL
  if [ "$2" != "$3" ]; then
    printf 'FAILED: %s\n--- expected\n%s\n--- got\n%s\n' "$1" "$2" "$3" >&2
    failures=$((failures + 1))
  fi
}

status=0
PATH="$work/fake:$PATH" BUILD_DIR="$work/build" \
  bash "$source_dir/scripts/updtool" plan /abs/upd --dest=/abs/inst --after=rel.pak \
  --title=/not/a/path -C /abs/out >"$work/both" 2>&1 || status=$?
expect "exit code" 3 "$status"
expect "arguments and the order of both outputs" \
  "$(printf 'arg plan\narg Z:/abs/upd\narg --dest=Z:/abs/inst\narg --after=rel.pak\narg --title=/not/a/path\narg -C\narg Z:/abs/out\nerr one\nout two\nerr @ two')" \
  "$(tr '\0' '@' <"$work/both")"
expect "Wine's own line left out" 0 "$(grep -c 'Read access denied' "$work/both" || true)"
[ "$failures" = 0 ] && echo "wrapper_test: all passed"
exit "$failures"
