#!/usr/bin/env bash
# check-deb.sh CPACK BUILD_DIR WORK_DIR VERSION_TEXT
# Packs the build tree with CPack (no install beforehand), unpacks the .deb with dpkg-deb into
# WORK_DIR and checks it as a desktop would use it: the programs run from there and report
# VERSION_TEXT, the help pages sit where the programs look for them, each desktop entry's Exec=
# and Icon= resolve to installed files, each AppStream file names its desktop entry and program,
# every program has its compressed manual page, and the files are owned and moded as lintian
# wants them.
set -euo pipefail
cpack=$1 build=$2 work=$3 version=$4
package=tessaro-service-tools
programs=(velmar korrin tavsim)

rm -rf "$work"
mkdir -p "$work"
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

if ! "$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log"
  echo "FAIL: cpack could not make the package" >&2
  exit 1
fi
shopt -s nullglob
debs=("$work"/out/*.deb)
[ ${#debs[@]} -eq 1 ] || { echo "FAIL: cpack made ${#debs[@]} packages, not one" >&2; exit 1; }
deb=${debs[0]}
echo "package: $deb"
root=$work/root
dpkg-deb -x "$deb" "$root"

# Control fields: the name, the project version, and dependencies found by dpkg-shlibdeps.
[ "$(dpkg-deb -f "$deb" Package)" = "$package" ] || fail "Package is $(dpkg-deb -f "$deb" Package)"
[ "$(dpkg-deb -f "$deb" Version)" = "${version%% *}" ] || fail "Version is $(dpkg-deb -f "$deb" Version), not ${version%% *}"
depends=$(dpkg-deb -f "$deb" Depends)
[[ $depends == *libqt6widgets6* && $depends == *libc6* ]] || fail "Depends lacks the Qt and C libraries: $depends"

# Everything under /usr, owned by root, directories and programs 0755, other files 0644.
while read -r mode owner _ _ _ path _; do
  path=${path#./}
  case $path in
    "" ) continue ;;
    usr | usr/*) ;;
    *) fail "$path is outside /usr" ;;
  esac
  [ "$owner" = root/root ] || fail "$path is owned by $owner"
  case $mode in
    d*) want=drwxr-xr-x ;;
    *) if [[ $path == usr/bin/* ]]; then want=-rwxr-xr-x; else want=-rw-r--r--; fi ;;
  esac
  [ "$mode" = "$want" ] || fail "$path has mode $mode, not $want"
done < <(dpkg-deb -c "$deb")

# The programs run from the unpacked tree, with settings and runtime folders of their own.
export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_RUNTIME_DIR=$work/run
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
# --version and --help only print: they need no display (a terminal over ssh has none).
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
bin=$root/usr/bin
for p in "${programs[@]}"; do
  [ -x "$bin/$p" ] || fail "usr/bin/$p is not installed"
done
for p in velmar korrin; do
  [ -x "$bin/$p" ] || continue
  out=$(timeout 60 "$bin/$p" --version 2>"$work/$p.err") || fail "$p --version failed: $(cat "$work/$p.err")"
  [ "$out" = "$p $version" ] || fail "$p --version printed \"$out\", not \"$p $version\""
  timeout 60 "$bin/$p" --help >/dev/null 2>"$work/$p.err" || fail "$p --help failed: $(cat "$work/$p.err")"
done
if [ -x "$bin/tavsim" ]; then
  out=$(timeout 60 "$bin/tavsim" --help 2>&1) || fail "tavsim --help failed: $out"
  [[ $out == *--port* && $out == *--module* ]] || fail "tavsim --help printed: $out"
fi

# Help pages where the programs look first (<bindir>/../share/tessaro/html), each page's own
# links included.
html=$bin/../share/tessaro/html
for page in index.html korrin.html; do
  [ -f "$html/$page" ] || fail "share/tessaro/html/$page is missing (F1 of the installed programs)"
done
for page in "$html"/*.html; do
  while read -r target; do
    target=${target%%#*}
    [ -z "$target" ] || [ -e "$html/$target" ] || fail "$(basename "$page") links to $target, which is not installed"
  done < <(grep -oE '(href|src)="[^":]*"' "$page" | sed -E 's/^[a-z]+="//; s/"$//')
done

# Desktop entries: Exec= and TryExec= are installed programs, Icon= an installed icon.
apps=$root/usr/share/applications
icons=$root/usr/share/icons/hicolor/scalable/apps
entries=("$apps"/*.desktop)
[ ${#entries[@]} -eq 2 ] || fail "${#entries[@]} desktop entries, not 2 (velmar, korrin)"
launched=()
for e in "${entries[@]}"; do
  name=$(basename "$e")
  exec_=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$e")
  tryexec=$(sed -n 's/^TryExec=//p' "$e")
  icon=$(sed -n 's/^Icon=//p' "$e")
  for prog in "$exec_" "$tryexec"; do
    [ -n "$prog" ] && [ -x "$bin/$prog" ] || fail "$name: program \"$prog\" is not in usr/bin"
  done
  [ -n "$icon" ] && [ -f "$icons/$icon.svg" ] || fail "$name: Icon=$icon has no usr/share/icons/hicolor/scalable/apps/$icon.svg"
  launched+=("$exec_")
done
for p in velmar korrin; do
  [[ " ${launched[*]} " == *" $p "* ]] || fail "no desktop entry starts $p"
done

# AppStream: each file is named after its id and names an installed desktop entry and program.
metas=("$root"/usr/share/metainfo/*.metainfo.xml)
[ ${#metas[@]} -eq 2 ] || fail "${#metas[@]} metainfo files, not 2"
for m in "${metas[@]}"; do
  name=$(basename "$m")
  id=$(sed -n 's:.*<id>\(.*\)</id>.*:\1:p' "$m")
  [ "$name" = "$id.metainfo.xml" ] || fail "$name holds the id \"$id\""
  desktop=$(sed -n 's:.*<launchable type="desktop-id">\(.*\)</launchable>.*:\1:p' "$m")
  [ -n "$desktop" ] && [ -f "$apps/$desktop" ] || fail "$name: launchable \"$desktop\" is not installed"
  binary=$(sed -n 's:.*<binary>\(.*\)</binary>.*:\1:p' "$m")
  [ -n "$binary" ] && [ -x "$bin/$binary" ] || fail "$name: binary \"$binary\" is not installed"
done

# Manual pages: one per program, gzip without a name or a time stamp (gzip -n).
man1=$root/usr/share/man/man1
for p in "${programs[@]}"; do
  page=$man1/$p.1.gz
  if [ ! -f "$page" ]; then
    fail "usr/share/man/man1/$p.1.gz is missing"
    continue
  fi
  gzip -t "$page" || fail "$p.1.gz is not a good gzip file"
  read -r -a head < <(od -An -tx1 -N8 "$page")
  [ "${head[3]}" = 00 ] && [ "${head[4]}${head[5]}${head[6]}${head[7]}" = 00000000 ] ||
    fail "$p.1.gz carries a file name or time stamp (header ${head[*]})"
  zcat "$page" | grep -q "^\.TH ${p^^} 1" || fail "$p.1.gz is not the page of $p"
done

# The package's own documents; the changelog's latest entry is this version.
doc=$root/usr/share/doc/$package
[ -f "$doc/copyright" ] || fail "usr/share/doc/$package/copyright is missing"
if [ -f "$doc/changelog.gz" ]; then
  first=$(zcat "$doc/changelog.gz" | head -n 1)
  [[ $first == "$package (${version%% *}) "* ]] || fail "the changelog starts \"$first\", not this version"
else
  fail "usr/share/doc/$package/changelog.gz is missing"
fi

if [ $failures -ne 0 ]; then
  echo "$failures checks failed" >&2
  exit 1
fi
echo "the package holds everything where the programs and the desktop look for it"
