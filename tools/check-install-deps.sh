#!/usr/bin/env bash
# Runs tools/install-deps.sh as a fresh machine would see it, without
# touching this machine's packages: dpkg-query reads a package database of
# our own, and apt-get, sudo and id are stand-ins that record what they were
# asked and "install" by adding to that database. Part of CI.
set -euo pipefail
cd "$(dirname "$0")/.."
script=$(pwd)/tools/install-deps.sh

fake=$(mktemp -d)
trap 'rm -rf "$fake"' EXIT
mkdir -p "$fake/bin" "$fake/dpkg/info" "$fake/dpkg/updates"
export QRW_DPKG_ADMINDIR=$fake/dpkg FAKE=$fake PATH="$fake/bin:$PATH"

cat >"$fake/bin/id" <<'EOF'
#!/bin/sh
[ "$1" = -u ] && { echo "${FAKE_UID:-1000}"; exit 0; }
exec /usr/bin/id "$@"
EOF
cat >"$fake/bin/sudo" <<'EOF'
#!/bin/sh
[ "$1" = -n ] && shift
[ -e "$FAKE/sudo-ok" ] || exit 1
echo "sudo $*" >>"$FAKE/calls"
exec "$@"
EOF
cat >"$fake/bin/apt-get" <<'EOF'
#!/bin/sh
echo "apt-get $*" >>"$FAKE/calls"
op=
for a in "$@"; do
  case "$a" in
    update) touch "$FAKE/lists"; exit 0 ;;
    install) op=install ;;
    -*|*=*) ;;
    *) if [ "$op" = install ]; then
         [ -e "$FAKE/apt-broken" ] && { echo "E: Unable to fetch" >&2; exit 100; }
         [ -e "$FAKE/lists" ] || { echo "E: Unable to locate package $a" >&2; exit 100; }
         printf 'Package: %s\nStatus: install ok installed\nVersion: 1\nArchitecture: all\n\n' "$a" >>"$FAKE/dpkg/status"
       fi ;;
  esac
done
EOF
chmod +x "$fake/bin/"*

failures=0
check() {  # check WHAT EXPECTED-STATUS ACTUAL-STATUS
  if [ "$2" != "$3" ]; then echo "FAIL: $1 (status $3, expected $2)"; failures=$((failures + 1)); fi
}
run() { status=0; bash "$script" "$@" >"$fake/out" 2>&1 || status=$?; }
fresh() { : >"$fake/dpkg/status"; rm -f "$fake/calls" "$fake/lists" "$fake/sudo-ok" "$fake/apt-broken"; }
all=$(bash "$script" --list | paste -sd' ' -)

# A user without root and without sudo is told the one line to run.
fresh
run
check "no root, no sudo" 2 "$status"
grep -qxF "    sudo apt-get install -y $all" "$fake/out" || { echo "FAIL: no apt-get line"; cat "$fake/out"; failures=$((failures + 1)); }
[ ! -e "$fake/calls" ] || { echo "FAIL: something was run without root"; failures=$((failures + 1)); }

# With sudo that asks for no password everything is installed, the package
# lists read first on a machine that has none; a second run does nothing.
fresh
touch "$fake/sudo-ok"
run
check "sudo install" 0 "$status"
grep -q "^sudo env DEBIAN_FRONTEND=noninteractive apt-get .* update" "$fake/calls" || { echo "FAIL: lists not read"; failures=$((failures + 1)); }
rm "$fake/calls"
run
check "second run" 0 "$status"
[ ! -e "$fake/calls" ] && [ ! -s "$fake/out" ] || { echo "FAIL: second run was not silent"; failures=$((failures + 1)); }

# As root only what is missing is installed, without sudo.
fresh
touch "$fake/lists"
printf 'Package: cmake\nStatus: install ok installed\nVersion: 1\nArchitecture: all\n\n' >"$fake/dpkg/status"
FAKE_UID=0 run
check "root install" 0 "$status"
grep -q "^apt-get .* install ${all/cmake /}$" "$fake/calls" || { echo "FAIL: root install"; cat "$fake/calls"; failures=$((failures + 1)); }

# An installation that fails says so and ends with 1.
fresh
touch "$fake/apt-broken"
FAKE_UID=0 run
check "broken apt" 1 "$status"
grep -q "Unable to fetch" "$fake/out" || { echo "FAIL: apt's error not shown"; failures=$((failures + 1)); }

# --check never installs.
fresh
FAKE_UID=0 run --check
check "--check" 2 "$status"
[ ! -e "$fake/calls" ] || { echo "FAIL: --check installed"; failures=$((failures + 1)); }

if [ "$failures" -gt 0 ]; then exit 1; fi
echo "install-deps: all checks passed"
