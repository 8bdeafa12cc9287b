#!/usr/bin/env bash
# Builds a release of the checked-out commit:
#   scripts/release.sh [--build DIR] [--out DIR] [--sign CERT]
#                                                  (default build-release/, dist/)
#   scripts/release.sh --check                     rebuild check, see below
#
# OUT/updater-X.Y.Z/        updater.exe and updtool.exe (stripped), README.txt
#                           for publishers, SHA256SUMS
# OUT/updater-X.Y.Z.zip     that folder, with a fixed order, times and modes
# OUT/updater-X.Y.Z-debug/  each program's debug information (PROGRAM.debug),
#                           which the program names in its .gnu_debuglink
#
# X.Y.Z is the version set in CMakeLists.txt. File times are the commit's time
# (SOURCE_DATE_EPOCH overrides it), so a release is the same bytes wherever
# and whenever it is built.
#
# --sign CERT signs updater.exe and updtool.exe with Authenticode
# (scripts/release/sign_programs.sh says what CERT may be), so that the
# elevation prompt names the publisher. A signature holds its signing time:
# a signed release is no longer the same bytes from build to build.
#
# --check builds two releases from copies of the source in two temporary
# folders, one after the other, with different time zones and umasks,
# compares them byte for byte and checks the release itself
# (scripts/release/check_release.py).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-release
out=$root/dist
check=0
sign=
while [ $# -gt 0 ]; do
  case "$1" in
    --sign) sign=${2:?release.sh: --sign needs a certificate file}; shift 2 ;;
    --build) build=${2:?release.sh: --build needs a folder}; shift 2 ;;
    --out) out=${2:?release.sh: --out needs a folder}; shift 2 ;;
    --check) check=1; shift ;;
    *) echo "release.sh: unknown argument '$1' (usage: release.sh [--build DIR] [--out DIR] [--sign CERT] | --check)" >&2
       exit 2 ;;
  esac
done
triple=i686-w64-mingw32
if [ -n "$sign" ] && [ ! -r "$sign" ]; then
  echo "release.sh: cannot read the certificate '$sign'" >&2
  exit 2
fi

commit_time() {
  if [ -n "${SOURCE_DATE_EPOCH:-}" ]; then
    echo "$SOURCE_DATE_EPOCH"
  elif git -C "$root" rev-parse --git-dir >/dev/null 2>&1; then
    git -C "$root" log -1 --format=%ct
  else
    echo "release.sh: $root is no git checkout; set SOURCE_DATE_EPOCH to the commit's time" >&2
    return 1
  fi
}

# The commit the programs name in their record: UPDATER_COMMIT when set (a
# copy of the source holds no checkout), else the checkout's HEAD, marked
# when tracked files changed.
commit_name() {
  if [ -n "${UPDATER_COMMIT:-}" ]; then
    echo "$UPDATER_COMMIT"
  elif git -C "$root" rev-parse --git-dir >/dev/null 2>&1; then
    local name
    name=$(git -C "$root" rev-parse --short=12 HEAD)
    [ -z "$(git -C "$root" status --porcelain --untracked-files=no)" ] || name="$name+changes"
    echo "$name"
  else
    echo unknown
  fi
}

# The source as checked out (tracked and new files, nothing ignored), copied
# to $1.
copy_source() {
  mkdir -p "$1"
  git -C "$root" ls-files -z --cached --others --exclude-standard |
    (cd "$root" && while IFS= read -r -d '' f; do [ -e "$f" ] && printf '%s\0' "$f"; done) |
    tar -C "$root" --null -T - -cf - | tar -C "$1" -xf -
}

run_check() {
  local epoch commit
  tmp=$(mktemp -d)
  trap 'rm -rf "$tmp"' EXIT
  epoch=$(commit_time)
  commit=$(commit_name)
  # Two layouts: the build folder beside the source, and inside it under a
  # longer path; two time zones and umasks.
  local -A src=([first]=$tmp/a/src [second]=$tmp/second/source-tree)
  local -A bld=([first]=$tmp/a/build [second]=$tmp/second/source-tree/build-release)
  local -A tz=([first]=UTC [second]=Pacific/Kiritimati)
  local -A mask=([first]=022 [second]=077)
  local side
  for side in first second; do
    copy_source "${src[$side]}"
    echo "release.sh --check: building the $side release in ${src[$side]%/*}"
    if ! (umask "${mask[$side]}" && TZ=${tz[$side]} SOURCE_DATE_EPOCH=$epoch UPDATER_COMMIT=$commit \
          bash "${src[$side]}/scripts/release.sh" --build "${bld[$side]}" \
            --out "$tmp/$side-dist") >"$tmp/$side.log" 2>&1; then
      tail -n 40 "$tmp/$side.log" >&2
      echo "release.sh --check: the $side release failed" >&2
      exit 1
    fi
  done
  local version
  version=$(release_version "${bld[first]}")
  for side in first second; do
    echo "The $side release's SHA-256:"
    (cd "$tmp/$side-dist" && sha256sum "updater-$version.zip" "updater-$version"/*.exe | sed 's/^/  /')
  done
  if ! diff -r "$tmp/first-dist" "$tmp/second-dist" >&2; then
    echo "release.sh --check: the two releases differ (above); the build is not reproducible" >&2
    exit 1
  fi
  echo "release.sh --check: the two releases are byte-identical"
  python3 "$root/scripts/release/check_release.py" "$tmp/first-dist" "$version"
}

# The version CMake wrote for the programs.
release_version() {
  sed -n 's/^#define PROJECT_VERSION_TEXT "\(.*\)"$/\1/p' "$1/generated/project_version.h"
}

if [ $check = 1 ]; then
  run_check
  exit
fi

epoch=$(commit_time)
if git -C "$root" rev-parse --git-dir >/dev/null 2>&1 &&
   [ -n "$(git -C "$root" status --porcelain --untracked-files=no)" ]; then
  echo "release.sh: warning: the working tree has changes; this is no release of a commit" >&2
fi

bash "$root/scripts/setup.sh"
echo "Building updater.exe and updtool.exe in $build..."
log=$build.log
mkdir -p "$(dirname "$build")"
# The tests' configuration (RelWithDebInfo): a release is what the tests ran.
if ! { cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF \
         -DUPDATER_COMMIT="$(commit_name)" &&
       cmake --build "$build" -j"$(nproc)" --target updater updtool; } >"$log" 2>&1; then
  tail -n 40 "$log" >&2
  echo "release.sh: the build failed (whole output in $log)" >&2
  exit 1
fi
rm -f "$log"
version=$(release_version "$build")
[ -n "$version" ] || { echo "release.sh: no version in $build/generated/project_version.h" >&2; exit 1; }

name=updater-$version
folder=$out/$name
debug=$out/$name-debug
rm -rf "$folder" "$debug" "$out/$name.zip"
mkdir -p "$folder" "$debug"
for program in updater.exe updtool.exe; do
  # objcopy writes the current time into the PE header it rewrites unless
  # SOURCE_DATE_EPOCH says otherwise; 0 as the linker leaves it.
  SOURCE_DATE_EPOCH=0 "$triple-objcopy" --only-keep-debug "$build/bin/$program" "$debug/$program.debug"
  # The link names the debug file and holds its CRC-32, so the file read
  # beside a crash report is known to be this program's.
  SOURCE_DATE_EPOCH=0 "$triple-objcopy" --strip-all --add-gnu-debuglink="$debug/$program.debug" \
    "$build/bin/$program" "$folder/$program"
done
if [ -n "$sign" ]; then
  bash "$root/scripts/release/sign_programs.sh" "$sign" "$folder/updater.exe" "$folder/updtool.exe"
fi
sed "s/@VERSION@/$version/g" "$root/scripts/release/README.txt" | sed 's/$/\r/' >"$folder/README.txt"
(cd "$folder" && sha256sum README.txt updater.exe updtool.exe >SHA256SUMS)

# Fixed modes and times; zip gets the names in a fixed order, stores no owner
# or extra time fields (-X), and writes its local times in UTC.
chmod 755 "$folder" "$debug"
chmod 644 "$folder"/* "$debug"/*
touch -h -d "@$epoch" "$folder"/* "$debug"/* "$folder" "$debug"
(cd "$out" && TZ=UTC zip -X -q -9 "$name.zip" \
  "$name/README.txt" "$name/SHA256SUMS" "$name/updater.exe" "$name/updtool.exe")
chmod 644 "$out/$name.zip"
touch -d "@$epoch" "$out/$name.zip"

echo "Release $version in $out:"
(cd "$out" && find "$name.zip" "$name" "$name-debug" -type f -printf '%12s  %p\n' | sort -k2)
echo "SHA-256:"
(cd "$out" && sha256sum "$name.zip" "$name"/*.exe | sed 's/^/  /')
