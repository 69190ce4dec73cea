#!/usr/bin/env bash
# validate.sh FILE...: desktop entries (*.desktop) through desktop-file-validate and AppStream
# files (*.metainfo.xml) through appstreamcli validate, without the network. A hint is not an
# error; a warning is. Skipped (exit status 77) when a validator is not installed.
set -euo pipefail
missing=()
command -v desktop-file-validate >/dev/null || missing+=("desktop-file-validate (package desktop-file-utils)")
command -v appstreamcli >/dev/null || missing+=("appstreamcli (package appstream)")
if [ ${#missing[@]} -ne 0 ]; then
  echo "SKIPPED: not installed: ${missing[*]}; scripts/deps installs them"
  exit 77
fi
failures=0
for f in "$@"; do
  ok=1
  case $f in
    *.desktop)
      out=$(desktop-file-validate "$f" 2>&1) || ok=0
      if grep -qE '(error|warning):' <<<"$out"; then ok=0; fi
      ;;
    *.metainfo.xml)
      out=$(appstreamcli validate --no-net --no-color "$f" 2>&1) || ok=0
      ;;
    *)
      echo "validate.sh: no validator for $f" >&2
      exit 2
      ;;
  esac
  echo "== $(basename "$f")"
  [ -n "$out" ] && echo "$out"
  [ $ok -eq 1 ] || failures=$((failures + 1))
done
[ $failures -eq 0 ] || { echo "$failures of $# files did not validate"; exit 1; }
