#!/usr/bin/env bash
# Fuzzes the archive, settings, manifest and signature readers natively (clang 14, libFuzzer,
# AddressSanitizer, UndefinedBehaviorSanitizer); the targets are tests/fuzz/.
#   scripts/fuzz.sh [SECONDS [TARGET...]]
#                                   build, then fuzz each target (or the ones
#                                   named) SECONDS (60), one after the other
#   scripts/fuzz.sh --ci [SECONDS]  each corpus once as a regression test,
#                                   then SECONDS (10) of fuzzing per target
#   scripts/fuzz.sh --coverage      line coverage of the readers by the corpora
#   scripts/fuzz.sh --seeds         rewrites the generated seed corpora
# Everything is built and kept under $BUILD_DIR/fuzz (BUILD_DIR: build/).
# Exits 1 when any target finds a fault; the input that shows it is left in
# $BUILD_DIR/fuzz/findings/ and the log in $BUILD_DIR/fuzz/logs/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${BUILD_DIR:-$root/build}/fuzz
targets=(archive_lookup archive_order settings string journal manifest signature)
corpus=$root/tests/fuzz/corpus

mode=fuzz
case "${1:-}" in
  --ci) mode=ci; shift ;;
  --coverage) mode=coverage; shift ;;
  --seeds) mode=seeds; shift ;;
  -h|--help) sed -n '2,13s/^# \{0,1\}//p' "$0"; exit 0 ;;
esac
seconds=${1:-$([ $mode = ci ] && echo 10 || echo 60)}
case "$seconds" in
  ''|*[!0-9]*) echo "fuzz.sh: SECONDS must be a number, not '$seconds' (see --help)" >&2; exit 2 ;;
esac
if [ $# -gt 1 ]; then
  shift
  for t in "$@"; do
    case " ${targets[*]} " in
      *" $t "*) ;;
      *) echo "fuzz.sh: no target '$t'; the targets: ${targets[*]}" >&2; exit 2 ;;
    esac
  done
  targets=("$@")
fi

# build DIR [CMAKE ARGS...]
build() {
  local dir=$1; shift
  bash "$root/scripts/setup.sh"
  mkdir -p "$dir"
  if ! { cmake -S "$root/tests/fuzz" -B "$dir" -DCMAKE_CXX_COMPILER=clang++-14 "$@" &&
         cmake --build "$dir" -j"$(nproc)"; } >"$dir/build.log" 2>&1; then
    tail -n 40 "$dir/build.log" >&2
    echo "fuzz.sh: the build failed (log: $dir/build.log)" >&2
    exit 2
  fi
}

max_len() {
  case $1 in
    archive_*) echo 65536 ;;
    *) echo 4096 ;;
  esac
}

# A fresh scratch folder for the targets' sandboxes (on tmpfs when there is
# one: the targets write files for every input), removed however the script
# ends, so that none is left behind by a run that ended in a crash.
scratch=
remove_scratch() {
  if [ -n "$scratch" ]; then rm -rf "$scratch"; fi
  scratch=
}
trap remove_scratch EXIT
fresh_scratch() {
  remove_scratch
  local base=$out
  if [ -d /dev/shm ] && [ -w /dev/shm ]; then base=/dev/shm; fi
  scratch=$(mktemp -d "$base/updater-fuzz.XXXXXX")
}

# fuzz_one TARGET SECONDS: fuzzes from the repository's corpus and the
# build's own (which keeps what the fuzzer learns); prints one line.
fuzz_one() {
  local t=$1 s=$2 log=$out/logs/$1.log
  mkdir -p "$out/corpus/$t" "$out/findings" "$out/logs"
  local args=(-max_total_time="$s" -timeout=5 -rss_limit_mb=1024 -malloc_limit_mb=256
              -max_len="$(max_len "$t")" -print_final_stats=1
              -artifact_prefix="$out/findings/$t-")
  local dict=$root/tests/fuzz/${t%%_*}.dict
  [ -f "$dict" ] && args+=(-dict="$dict")
  fresh_scratch
  local status=0
  TMPDIR=$scratch UBSAN_OPTIONS=print_stacktrace=1 \
    "$out/asan/${t}_fuzzer" "${args[@]}" "$out/corpus/$t" "$corpus/$t" >"$log" 2>&1 || status=$?
  local execs rate
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
  printf '%-16s %10s execs %8s exec/s %6ss  corpus %s\n' "$t" "${execs:-?}" "${rate:-?}" "$s" \
    "$(ls "$out/corpus/$t" "$corpus/$t" | wc -l)"
  if [ $status -ne 0 ]; then
    grep -m1 -E 'ERROR|win32 layer|runtime error|check failed|deadly signal|out-of-memory|timeout' "$log" >&2 || true
    local unit
    unit=$(sed -n 's/.*Test unit written to \(.*\)$/\1/p' "$log" | tail -n 1)
    echo "FINDING in $t: reproducer ${unit:-(none written)}, log $log" >&2
    echo "  replay: $out/asan/${t}_fuzzer ${unit:-INPUT}" >&2
    return 1
  fi
}

case $mode in
  seeds)
    build "$out/asan"
    "$out/asan/make_seeds" "$corpus"
    echo "seeds written to $corpus"
    ;;
  fuzz|ci)
    build "$out/asan"
    failed=0
    for t in "${targets[@]}"; do
      fuzz_one "$t" "$seconds" || failed=1
    done
    exit $failed
    ;;
  coverage)
    dir=$out/coverage
    build "$dir" -DFUZZ_COVERAGE=ON
    rm -f "$dir"/*.profraw
    objects=()
    for t in "${targets[@]}"; do
      fresh_scratch
      LLVM_PROFILE_FILE=$dir/$t.profraw TMPDIR=$scratch \
        "$dir/${t}_fuzzer" -runs=0 "$corpus/$t" >"$dir/$t.log" 2>&1
      objects+=(-object "$dir/${t}_fuzzer")
    done
    llvm-profdata-14 merge -sparse "$dir"/*.profraw -o "$dir/corpora.profdata"
    # The readers: the archive read side, the settings, manifest and signature readers.
    files=()
    for f in "$root"/pak/*.cpp "$root/settings/settings_reader.cpp" \
             "$root/trust/update_manifest.cpp" "$root/trust/update_signature.cpp"; do
      [ "$(basename "$f")" = archive_write.cpp ] || files+=("$f")
    done
    # Each target brings its own LLVMFuzzerTestOneInput; llvm-cov warns that
    # they differ, which says nothing about the readers.
    llvm-cov-14 report "${objects[@]:1}" -instr-profile="$dir/corpora.profdata" "${files[@]}" \
      2> >(grep -v 'mismatched data' >&2) | sed "s|$root/||"
    llvm-cov-14 show "${objects[@]:1}" -instr-profile="$dir/corpora.profdata" \
      -show-line-counts-or-regions "${files[@]}" >"$dir/lines.txt" 2>/dev/null
    echo "line by line: $dir/lines.txt"
    ;;
esac
