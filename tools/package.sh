#!/usr/bin/env bash
# Builds the Debian package from a Release build and checks it: its file
# list, its dependencies, and the installed commands, run from an extracted
# copy, upgrading a sample. Part of CI; the package is left in the build
# folder (modqrw_<version>-1_<arch>.deb).
#
#   bash tools/package.sh        # QRW_BUILD_DIR (default build/run, the
#                                # Release build of tools/run-sample.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
bash tools/install-deps.sh
build=${QRW_BUILD_DIR:-build/run}

echo "== Building the package ($build)"
# Only what the package holds is built: installing needs no tests.
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON >/dev/null
targets=(modqrw qrw-sample manpages)
# Listed first and then searched: grep -q stopping early would break ninja's
# pipe, and under pipefail the import command would be left out.
listed=$(ninja -C "$build" -t targets all)
grep -q '^qrw-import:' <<<"$listed" && targets+=(qrw-import)
cmake --build "$build" --target "${targets[@]}"
rm -f "$build"/modqrw_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/modqrw_*.deb)
echo "Package: $deb"

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

echo "== File list"
files=$(dpkg-deb -c "$deb" | awk '{ print $6 }' | sed 's|^\./|/|')
for f in /usr/bin/modqrw /usr/bin/qrw-sample \
         /usr/share/applications/modqrw.desktop \
         /usr/share/icons/hicolor/scalable/apps/modqrw.svg \
         /usr/share/man/man1/modqrw.1.gz /usr/share/man/man1/qrw-sample.1.gz; do
  grep -qxF "$f" <<<"$files" || fail "$f is not in the package"
done
if [[ " ${targets[*]} " == *" qrw-import "* ]]; then
  for f in /usr/bin/qrw-import /usr/share/man/man1/qrw-import.1.gz; do
    grep -qxF "$f" <<<"$files" || fail "$f is not in the package"
  done
fi
grep -v '/$' <<<"$files" | sed 's/^/  /'

echo "== Dependencies"
info=$(dpkg-deb -I "$deb")
depends=$(sed -n 's/^ Depends: //p' <<<"$info")
echo "  $depends"
# The package names alone, one a line.
names=$(tr ',|' '\n\n' <<<"$depends" | sed 's/(.*//; s/ //g; /^$/d')
named() { grep -qxF "$1" <<<"$names"; }
# Every shared library the commands load must come from a package that the
# package depends on, or `apt install` on a fresh machine leaves it missing.
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$deb" "$unpacked"
for bin in "$unpacked"/usr/bin/*; do
  for lib in $(ldd "$bin" | awk '$3 ~ /^\// { print $3 }'); do
    owner=$(dpkg -S "$(readlink -f "$lib")" 2>/dev/null | head -n1 | cut -d: -f1) ||
      owner=$(dpkg -S "$lib" 2>/dev/null | head -n1 | cut -d: -f1) || true
    [ -n "$owner" ] || { fail "$(basename "$bin"): $lib belongs to no package"; continue; }
    # The direct needs name their package; libraries those pull in come with them.
    if readelf -d "$bin" | grep -q "NEEDED.*\[$(basename "$lib")\]"; then
      named "$owner" ||
        fail "$(basename "$bin") needs $(basename "$lib") from $owner, which Depends does not name"
    fi
  done
done
for needed in libfltk1.3 libinih1 libsqlite3-0 libmdb3; do
  named "$needed" || fail "Depends does not name $needed"
done

echo "== The extracted commands on a sample"
bin=$unpacked/usr/bin
version=$("$bin/modqrw" --version) || fail "modqrw --version failed"
echo "  $version"
[[ $version == "modqrw "[0-9]* ]] || fail "modqrw --version printed '$version'"
"$bin/modqrw" --help >/dev/null || fail "modqrw --help failed"
"$bin/qrw-sample" --version >/dev/null || fail "qrw-sample --version failed"
[ ! -x "$bin/qrw-import" ] || "$bin/qrw-import" --version >/dev/null || fail "qrw-import --version failed"
home=$unpacked/home
mkdir -p "$home/config/Quarrow" "$home/data"
"$bin/qrw-sample" --orders 50 "$home/data" >/dev/null
printf '[Data]\nPath=%s\n' "$home/data" >"$home/config/Quarrow/settings.ini"
status=0
printf 'CONTINUE\nOK\n' | env -u DISPLAY -u WAYLAND_DISPLAY XDG_CONFIG_HOME="$home/config" \
  XDG_DATA_HOME="$home/share" "$bin/modqrw" >"$home/out.txt" 2>&1 || status=$?
[ "$status" -eq 0 ] || { cat "$home/out.txt"; fail "modqrw on the sample ended with $status"; }
stamp=$(sqlite3 -batch -noheader "$home/data/QRWdata.MDB" "SELECT substr(s7, 16, 5) FROM Defaults")
[ "$stamp" = 40252 ] || fail "the sample's level stamp is '$stamp'"
grep -q "COMPLETED" "$home/out.txt" || fail "modqrw did not show COMPLETED"
echo "  modqrw upgraded the sample (status $status, level stamp $stamp)"

if [ "$failures" -gt 0 ]; then
  echo "package check: $failures failure(s)"
  exit 1
fi
echo "package check: passed"
