#!/usr/bin/env bash
# Signs Windows programs in place with Authenticode, through osslsigncode,
# so that Windows' elevation prompt names the publisher instead of
# "Unknown publisher":
#   sign_programs.sh CERT PROGRAM.exe...
# CERT: a PKCS#12 file (.pfx or .p12; its password, if any, in
# UPDATER_SIGN_PASSWORD), or a PEM file holding the certificate chain and
# its private key. UPDATER_SIGN_TIMESTAMP: a time-stamp server's URL, so
# that the signature outlives the certificate (none: no time stamp).
# A program is replaced only once its signed copy is complete.
set -euo pipefail
cert=${1:?sign_programs.sh: give CERT and the programs}
shift
[ -r "$cert" ] || { echo "sign_programs.sh: cannot read the certificate '$cert'" >&2; exit 2; }
command -v osslsigncode >/dev/null ||
  { echo "sign_programs.sh: osslsigncode is missing (scripts/setup.sh installs it)" >&2; exit 2; }
case "$cert" in
  *.pfx|*.p12) key=(-pkcs12 "$cert")
               [ -n "${UPDATER_SIGN_PASSWORD:-}" ] && key+=(-pass "$UPDATER_SIGN_PASSWORD") ;;
  *) key=(-certs "$cert" -key "$cert") ;;
esac
stamp=()
[ -n "${UPDATER_SIGN_TIMESTAMP:-}" ] && stamp=(-ts "$UPDATER_SIGN_TIMESTAMP")
for program in "$@"; do
  signed=$program.signing
  rm -f "$signed"
  if ! osslsigncode sign "${key[@]}" "${stamp[@]}" -h sha256 -n "$(basename "$program" .exe)" \
         -in "$program" -out "$signed" >"$signed.log" 2>&1; then
    cat "$signed.log" >&2
    rm -f "$signed" "$signed.log"
    echo "sign_programs.sh: cannot sign $program" >&2
    exit 1
  fi
  rm -f "$signed.log"
  mv -f "$signed" "$program"
done
