#!/usr/bin/env bash
# Builds ModQRW, writes a fresh sample data folder under ./scratch, points a
# private settings store at it and runs the upgrade through the terminal
# front end (answering CONTINUE and OK), then prints what the run did.
#
#   bash tools/run-sample.sh            # a sample with 200 generated orders
#   QRW_SAMPLE_ORDERS=5000 bash tools/run-sample.sh
#
# Missing Debian packages are installed first (tools/install-deps.sh); apart
# from that, nothing outside the repository's build/ and scratch/ folders is
# touched.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=${QRW_BUILD_DIR:-build/run}
orders=${QRW_SAMPLE_ORDERS:-200}

# The packages it builds and runs with, installed when missing.
bash tools/install-deps.sh

echo "== Building ($build)"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target modqrw qrw-sample

scratch="$root/scratch/run-$(date +%Y%m%d-%H%M%S)-$$"
data="$scratch/data"
mkdir -p "$scratch/config/Quarrow" "$scratch/share" "$data"

echo "== Writing the sample into $data"
"$build/qrw-sample" --orders "$orders" "$data"
cp "$data/QRWdata.MDB" "$scratch/before.MDB"
printf '[Data]\nPath=%s\n' "$data" > "$scratch/config/Quarrow/settings.ini"

echo "== Running modqrw (CONTINUE, then OK)"
set +e
printf 'CONTINUE\nOK\n' |
  env -u DISPLAY -u WAYLAND_DISPLAY XDG_CONFIG_HOME="$scratch/config" \
      XDG_DATA_HOME="$scratch/share" "$build/modqrw"
status=$?
set -e
echo
echo "== Summary"
echo "modqrw exit status: $status (0 completed, 1 run-time error, 2 ended by the user)"

db="$data/QRWdata.MDB"
before="$scratch/before.MDB"
q() { sqlite3 -batch -noheader "$1" "$2"; }
tables() {
  q "$1" "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'MSys%' AND name NOT LIKE 'sqlite%' ORDER BY name"
}
columns() { q "$1" "SELECT name FROM pragma_table_info('$2') ORDER BY cid"; }

echo "Level stamp (Defaults.s7 from character 16): $(q "$db" "SELECT substr(s7, 16) FROM Defaults")"
echo "Saved queries: $(q "$db" "SELECT group_concat(Name, ', ') FROM (SELECT Name FROM MSysQueries ORDER BY Name)" 2>/dev/null || echo '?')"

echo "Tables created:"
comm -13 <(tables "$before") <(tables "$db") | while read -r t; do
  printf '  %-24s %8s rows\n' "$t" "$(q "$db" "SELECT COUNT(*) FROM \"$t\"")"
done
gone=$(comm -23 <(tables "$before") <(tables "$db") | paste -sd, - | sed 's/,/, /g')
[ -n "$gone" ] && echo "Tables removed: $gone"

echo "Changes per table (fields added/removed; rows whose old fields changed;"
echo "rows holding a value in an added field; rows added or deleted):"
comm -12 <(tables "$before") <(tables "$db") | while read -r t; do
  old=$(columns "$before" "$t"); new=$(columns "$db" "$t")
  addedCols=$(comm -13 <(sort <<<"$old") <(sort <<<"$new"))
  added=$(grep -c . <<<"$addedCols" || true)
  removed=$(comm -23 <(sort <<<"$old") <(sort <<<"$new") | grep -c . || true)
  common=$(comm -12 <(sort <<<"$old") <(sort <<<"$new") | sed 's/.*/"&"/' | paste -sd, -)
  filledTest=$(sed '/^$/d; s/.*/(coalesce("&", 0) NOT IN (0, \x27\x27))/' <<<"$addedCols" | paste -sd'|' - | sed 's/|/ OR /g')
  counts=$(sqlite3 -batch -noheader -separator ' ' "$db" "ATTACH '$before' AS b;
    SELECT (SELECT COUNT(*) FROM (SELECT $common FROM main.\"$t\" EXCEPT SELECT $common FROM b.\"$t\")),
           (SELECT COUNT(*) FROM main.\"$t\" WHERE ${filledTest:-0}),
           (SELECT COUNT(*) FROM main.\"$t\") - (SELECT COUNT(*) FROM b.\"$t\")")
  read -r changed filled delta <<<"$counts"
  if [ "$added$removed$changed$filled$delta" != "00000" ]; then
    printf '  %-22s fields +%-3s -%-2s rows changed %-7s filled %-7s %+d\n' \
      "$t" "$added" "$removed" "$changed" "$filled" "$delta"
  fi
done
echo "Sample data folder: $data"
exit "$status"
