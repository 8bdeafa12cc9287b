#!/usr/bin/env bash
# A release's programs signed as release.sh --sign signs them, with a
# throwaway self-signed certificate made here, then checked by osslsigncode:
# each form of certificate file, and the failures that must leave the
# programs as they were.
#   sign_release_test.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
source_dir=$1
bin=$2/bin
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
sign=$source_dir/scripts/release/sign_programs.sh

openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/key.pem" -out "$work/cert.pem" -days 2 \
  -subj "/CN=Quillmark Test Publisher" 2>/dev/null
cat "$work/cert.pem" "$work/key.pem" >"$work/both.pem"
openssl pkcs12 -export -in "$work/cert.pem" -inkey "$work/key.pem" -passout pass:secret \
  -out "$work/both.pfx"

failures=0
fail() { echo "FAILED: $*" >&2; failures=$((failures + 1)); }
# verified FILE: osslsigncode takes its signature, made by the test's
# certificate.
verified() {
  osslsigncode verify -CAfile "$work/cert.pem" -in "$1" >"$work/verify.log" 2>&1 &&
    grep -q "Subject: /CN=Quillmark Test Publisher" "$work/verify.log"
}
fresh() {
  rm -rf "$work/rel"
  mkdir "$work/rel"
  cp "$bin/updater.exe" "$bin/updtool.exe" "$work/rel/"
}

fresh
verified "$work/rel/updater.exe" && fail "an unsigned program verifies"

for form in both.pem both.pfx; do
  fresh
  if ! UPDATER_SIGN_PASSWORD=secret bash "$sign" "$work/$form" "$work/rel/updater.exe" "$work/rel/updtool.exe"; then
    fail "signing with $form"
    continue
  fi
  for program in updater.exe updtool.exe; do
    verified "$work/rel/$program" || fail "$program signed with $form does not verify: $(cat "$work/verify.log")"
  done
  ls "$work/rel" | grep -q signing && fail "a partly signed copy was left behind ($form)"
done

# A wrong password and a missing certificate: refused, programs untouched.
for case in "wrong password" "no certificate"; do
  fresh
  cert=$work/both.pfx
  [ "$case" = "no certificate" ] && cert=$work/none.pem
  if UPDATER_SIGN_PASSWORD=wrong bash "$sign" "$cert" "$work/rel/updater.exe" 2>"$work/err"; then
    fail "$case: signing succeeded"
  fi
  cmp -s "$bin/updater.exe" "$work/rel/updater.exe" || fail "$case: the program was changed"
  [ -s "$work/err" ] || fail "$case: nothing said"
  ls "$work/rel" | grep -q signing && fail "$case: a partly signed copy was left behind"
done

# Tampering after signing is caught.
fresh
bash "$sign" "$work/both.pem" "$work/rel/updtool.exe"
printf 'x' | dd of="$work/rel/updtool.exe" bs=1 seek=4096 conv=notrunc 2>/dev/null
verified "$work/rel/updtool.exe" && fail "a changed program still verifies"

[ $failures -eq 0 ] && echo "sign_release_test: all passed"
exit $((failures > 0))
