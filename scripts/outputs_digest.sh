#!/usr/bin/env bash
# Everything the command line prints and stores on the demo weekend, in one folder, so
# that two builds can be compared byte for byte (diff -r OUT1 OUT2). The working
# folder's path and the clock's time are masked so two runs compare.
# Usage: scripts/outputs_digest.sh BUILD OUT
set -uo pipefail
BUILD=$(cd "$1" && pwd)
OUT=$(mkdir -p "$2" && cd "$2" && pwd)
CLI="$BUILD/src/cli/sorvantix-cli"
FEED="$BUILD/src/feed/sorvantix-feed"
WORK=$(mktemp -d)
APP="$WORK/app"
trap 'rm -rf "$WORK"' EXIT
rm -rf "${OUT:?}"/*

# Standard output and standard error are kept apart: their interleaving depends on
# buffering, not on the program.
mask() { sed -e "s#$WORK#WORK#g" -e 's/^[0-9]*年[0-9]*月[0-9]*日[0-9]*時[0-9]*分[0-9]*秒以降/NOW以降/'; }
run() {
    local name=$1
    shift
    "$CLI" --app-dir "$APP" "$@" >"$WORK/stdout" 2>"$WORK/stderr"
    echo "exit=$?" >>"$WORK/stdout"
    mask <"$WORK/stdout" >"$OUT/$name.txt"
    mask <"$WORK/stderr" >"$OUT/$name.err"
}

"$FEED" --out "$WORK/feed" --from 2026-12-05 --to 2026-12-06 --seed 7 >/dev/null
"$CLI" --app-dir "$APP" jvlink --feed "$WORK/feed" >/dev/null
run fetch-cards fetch-cards --setup
run days days
for day in 20261205 20261206; do
    run "races-$day" races "$day" --keys
done
# Odds: the Saturday race by race, the Sunday as the schedule window does.
for key in $("$CLI" --app-dir "$APP" races 20261205 --keys); do
    run "fetch-odds-$key" fetch-odds "$key"
done
run fetch-odds-day-20261206 fetch-odds --day 20261206 --races "$(seq -s, 1 36)"
for day in 20261205 20261206; do
    run "fetch-results-$day" fetch-results "$day"
    run "batch-$day" batch "$day"
    run "hits-$day" hits "$day"
    run "hits-ana-$day" hits "$day" --ana
    run "board-$day" board "$day" --json
done
for key in $("$CLI" --app-dir "$APP" races 20261206 --keys); do
    run "analyse-$key" analyse "$key" --json
    run "chart-$key" chart "$key" --json
done
MAIN=$("$CLI" --app-dir "$APP" races 20261206 --keys | grep '11$' | tail -1)
run analyse-main analyse "$MAIN"
run copy-main copy "$MAIN" --tab PA比
run print-layout-main print-layout "$MAIN" --json
run flow-main flow "$MAIN" --json
run suisho suisho --json
run backtest backtest --json
run export export --sqlite "$WORK/out.sqlite"
sqlite3 "$WORK/out.sqlite" .dump >"$OUT/export.sql" 2>/dev/null || true

# The stored files, each by its digest (logs carry times, the replay's cache and
# settings the working folder's path).
(cd "$APP" && find . -type f ! -name '*.lock' ! -name '*.log' ! -name '*.src' ! -name jvlink.ini | LC_ALL=C sort |
    xargs sha256sum) >"$OUT/stored-files.txt"
echo "written to $OUT"
