#!/usr/bin/env bash
# The Debian packages ModQRW needs to build, test, run and package, in one
# list, and the one place that installs them. tools/run-sample.sh,
# tools/test.sh and .ci/run call it first, so a fresh machine needs nothing
# but a clone.
#
#   bash tools/install-deps.sh           # install what is missing, quietly
#   bash tools/install-deps.sh --check   # only say what is missing
#   bash tools/install-deps.sh --list    # the packages, one a line
#
# What is missing is installed when that can be done without a question: as
# root, or through sudo without a password. Otherwise the script prints the
# one apt-get line that is needed and ends with status 2; it ends with 1
# when the installation itself fails. Nothing is written when everything is
# there already.
#
# QRW_DPKG_ADMINDIR points dpkg-query at another package database (to try
# the script as a fresh machine would see it).
set -euo pipefail

packages=(
  # building
  build-essential cmake ninja-build pkg-config
  libsqlite3-dev libfltk1.3-dev libinih-dev mdbtools-dev
  # testing: GoogleTest, a virtual display for the window tests
  googletest libgtest-dev xvfb xauth
  # the sample run's summary, the Jet importer's reference tool
  sqlite3 mdbtools
  # the Debian package and its dependency list
  dpkg-dev file
)

say() { echo "install-deps: $*" >&2; }

missing_packages() {
  local query=(dpkg-query -W -f='${Package} ${db:Status-Status}\n')
  [ -n "${QRW_DPKG_ADMINDIR:-}" ] && query+=(--admindir="$QRW_DPKG_ADMINDIR")
  local installed
  installed=$("${query[@]}" "${packages[@]}" 2>/dev/null | awk '$2 == "installed" { print $1 }' || true)
  local p
  for p in "${packages[@]}"; do
    grep -qxF "$p" <<<"$installed" || echo "$p"
  done
}

case "${1:-}" in
  --list) printf '%s\n' "${packages[@]}"; exit 0 ;;
  --check | "") ;;
  *) echo "usage: bash tools/install-deps.sh [--check | --list]" >&2; exit 2 ;;
esac

if ! command -v dpkg-query >/dev/null; then
  say "this is not a Debian system; install the equivalents of: ${packages[*]}"
  exit 2
fi

mapfile -t missing < <(missing_packages)
[ ${#missing[@]} -eq 0 ] && exit 0

line="apt-get install -y ${missing[*]}"
if [ "${1:-}" = --check ]; then
  say "missing: ${missing[*]}"
  exit 2
fi

if [ "$(id -u)" -eq 0 ]; then
  as_root=()
elif command -v sudo >/dev/null && sudo -n true 2>/dev/null; then
  as_root=(sudo -n)
else
  say "these packages are missing: ${missing[*]}"
  say "install them (as root) with:"
  echo "    sudo $line" >&2
  exit 2
fi

say "installing ${missing[*]}"
log=$(mktemp)
trap 'rm -f "$log"' EXIT
apt=("${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -q -y
     -o DPkg::Lock::Timeout=300 -o APT::Install-Recommends=false)
# A fresh machine may have no package lists yet: read them once and retry.
if ! "${apt[@]}" install "${missing[@]}" >"$log" 2>&1; then
  if ! { "${apt[@]}" update && "${apt[@]}" install "${missing[@]}"; } >"$log" 2>&1; then
    tail -n 20 "$log" >&2
    say "the installation failed; as root: $line"
    exit 1
  fi
fi

mapfile -t still < <(missing_packages)
if [ ${#still[@]} -gt 0 ]; then
  say "still missing after the installation: ${still[*]}"
  exit 1
fi
