#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the demo need.
# Idempotent: when everything is present it only checks and returns.
set -euo pipefail

packages=(
  cmake make
  g++-mingw-w64-i686 mingw-w64-i686-dev binutils-mingw-w64-i686
  libz-mingw-w64-dev
  googletest
  wine wine32:i386 wine64
  libgnutls30:i386  # Wine's bcrypt does ECDSA and SHA-256 through it
  osslsigncode openssl
  xvfb imagemagick fonts-ipafont-gothic
  util-linux python3 locales tzdata
  clang-14 libclang-rt-14-dev llvm-14 zlib1g-dev
  zip
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"

# Wine names files on Linux in the glibc locale's encoding: without a UTF-8
# locale, a file name with Japanese characters cannot be created. The tests
# run the programs under Japanese (code page 932), US English (1252) and
# Korean (949) Windows, each needing its glibc locale.
test_locales=(ja_JP.UTF-8 en_US.UTF-8 ko_KR.UTF-8)
ensure_locale() {
  local wanted=() loc
  for loc in "${test_locales[@]}"; do
    locale -a 2>/dev/null | grep -qix "${loc%.UTF-8}.utf8" || wanted+=("$loc")
  done
  [ ${#wanted[@]} -eq 0 ] && return 0
  for loc in "${wanted[@]}"; do
    $sudo sed -i "s/^# *\($loc UTF-8\)/\1/" /etc/locale.gen
    grep -q "^$loc UTF-8" /etc/locale.gen || echo "$loc UTF-8" | $sudo tee -a /etc/locale.gen >/dev/null
  done
  $sudo locale-gen >/dev/null
}

if [ ${#missing[@]} -eq 0 ]; then
  ensure_locale
  exit 0
fi
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
ensure_locale
