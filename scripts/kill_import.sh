#!/usr/bin/env bash
# Kills a writer of the Data folder with SIGKILL at random moments and checks that every
# file in Data/ survives whole and sorted, and that a final run ends with the same bytes
# as an uninterrupted one and removes the temporary files the kills left.
#
#   scripts/kill_import.sh [--kind cards|odds|results] [--build DIR]
#                          [--from yyyy-mm-dd] [--to yyyy-mm-dd]
#                          [--rounds N] [--seed N] [--keep]
#
# --kind cards (default): the bulk race card import (fetch-cards) of the year 2025.
# --kind odds: the odds fetch of every race of a day (fetch-odds --day), 2026-12-06.
# --kind results: the results fetch of a day (fetch-results), 2026-12-06.
# --from/--to change the span (odds and results: the day is --from). Defaults: build
# folder "build", 6 rounds (odds and results: 20), a seed from $RANDOM (printed, so a
# failing run can be repeated with --seed). Prints PASS or FAIL; exits 1 on FAIL.
set -u

root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build"
kind=cards
from=""
to=""
rounds=""
seed=$RANDOM
keep=0
while [ $# -gt 0 ]; do
    case "$1" in
        --kind) kind=$2; shift 2 ;;
        --build) build=$2; shift 2 ;;
        --from) from=$2; shift 2 ;;
        --to) to=$2; shift 2 ;;
        --rounds) rounds=$2; shift 2 ;;
        --seed) seed=$2; shift 2 ;;
        --keep) keep=1; shift ;;
        -h|--help) sed -n '2,15p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) echo "unknown argument: $1" >&2; exit 2 ;;
    esac
done
case "$kind" in
    cards) from=${from:-2025-01-01}; to=${to:-2025-12-31}; rounds=${rounds:-6} ;;
    odds | results) from=${from:-2026-12-06}; to=$from; rounds=${rounds:-20} ;;
    *) echo "unknown kind: $kind (cards, odds or results)" >&2; exit 2 ;;
esac
case "$build" in /*) ;; *) build="$PWD/$build" ;; esac
day=${from//-/}

cli="$build/src/cli/sorvantix-cli"
feedgen="$build/src/feed/sorvantix-feed"
for exe in "$cli" "$feedgen"; do
    if [ ! -x "$exe" ]; then
        echo "missing $exe (build the targets sorvantix-cli and sorvantix-feed)" >&2
        exit 2
    fi
done

RANDOM=$seed
work=$(mktemp -d "${TMPDIR:-/tmp}/kill-$kind.XXXXXX")
if [ "$keep" = 0 ]; then
    trap 'rm -rf "$work"' EXIT
fi
echo "$kind: seed $seed, span $from .. $to, $rounds rounds, work folder $work"

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

now_ms() { date +%s%3N; }

# Whole fixed-length records (CR LF included), one per line, in ascending order.
check_records() {
    local f=$1 len=$2 label=$3 name size
    name=$(basename "$f")
    size=$(stat -c %s "$f")
    if [ $((size % len)) -ne 0 ]; then
        fail "$label: $name has $size bytes, not whole $len-byte records"
    elif [ "$(tr -cd '\n' <"$f" | wc -c)" -ne $((size / len)) ]; then
        fail "$label: $name lines are not $len bytes each"
    elif ! LC_ALL=C sort -c "$f" 2>/dev/null; then
        fail "$label: $name is not sorted"
    fi
}

# Every file in Data/ must be whole: .jvRA whole 1272-byte records sorted ascending,
# .jvHR whole 719-byte records sorted, .jvSEr exactly 216 x 555 bytes, and in the day
# folders .jvO1 and .jvO2 whole 962- and 2042-byte records sorted. Temporary files of an
# interrupted atomic write (.<name>.XXXXXX) are counted, not data.
temp_files=0
check_data() {
    local data=$1 label=$2 f name size
    temp_files=0
    [ -d "$data" ] || return 0
    for f in "$data"/* "$data"/.[!.]* "$data"/*/* "$data"/*/.[!.]*; do
        [ -e "$f" ] || continue
        name=$(basename "$f")
        if [ -d "$f" ]; then
            case "$name" in [0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9]) continue ;; esac
            fail "$label: unexpected folder $name"
            continue
        fi
        size=$(stat -c %s "$f")
        case "$name" in
            .*) temp_files=$((temp_files + 1)) ;;
            *.jvSEr)
                [ "$size" -eq $((216 * 555)) ] || fail "$label: $name has $size bytes" ;;
            *.jvRA) check_records "$f" 1272 "$label" ;;
            *.jvHR) check_records "$f" 719 "$label" ;;
            *.jvO1) check_records "$f" 962 "$label" ;;
            *.jvO2) check_records "$f" 2042 "$label" ;;
            *) fail "$label: unexpected file $name" ;;
        esac
    done
}

last_time() { grep -a '^LastTime=' "$1/sorvantix.ini" 2>/dev/null || echo "(none)"; }

fetch_cards() {
    "$cli" --app-dir "$1" fetch-cards --setup --from 20000101000000 >/dev/null 2>"$1.err"
}
races=""
# The run that is killed.
operation() {
    case "$kind" in
        cards) fetch_cards "$1" ;;
        odds) "$cli" --app-dir "$1" fetch-odds --day "$day" --races "$races" >/dev/null 2>"$1.err" ;;
        results) "$cli" --app-dir "$1" fetch-results "$day" >/dev/null 2>"$1.err" ;;
    esac
}

echo "generating the feed ..."
odds_days=none
[ "$kind" = odds ] && odds_days=all
"$feedgen" --out "$work/feed" --from "$from" --to "$to" --seed 5 --odds-days "$odds_days" \
    >/dev/null || { echo "FAIL: feed generator"; exit 1; }
echo "feed: $(ls "$work/feed/RACE" | wc -l) RACE files, $(du -sh "$work/feed" | cut -f1)"

for app in ref victim; do
    "$cli" --app-dir "$work/$app" jvlink --feed "$work/feed" >/dev/null ||
        { echo "FAIL: jvlink --feed"; exit 1; }
    # The odds and results runs start from a day whose race cards are stored.
    if [ "$kind" != cards ]; then
        fetch_cards "$work/$app" || { echo "FAIL: race cards"; cat "$work/$app.err"; exit 1; }
    fi
done
if [ "$kind" = odds ]; then
    count=$("$cli" --app-dir "$work/ref" races "$day" --keys | wc -l)
    races=$(seq -s, 1 "$count")
    echo "$count races of $day"
fi

echo "reference run (uninterrupted) ..."
start=$(now_ms)
operation "$work/ref" || { echo "FAIL: reference run"; cat "$work/ref.err"; exit 1; }
ref_ms=$(($(now_ms) - start))
check_data "$work/ref/Data" reference
# Once the feed is in the cache a run is shorter: the later kills aim within that,
# timed as the rounds run (the card rounds start without Data/).
[ "$kind" = cards ] && mv "$work/ref/Data" "$work/ref-Data"
start=$(now_ms)
operation "$work/ref" || { echo "FAIL: second reference run"; cat "$work/ref.err"; exit 1; }
cached_ms=$(($(now_ms) - start))
if [ "$kind" = cards ]; then
    diff -r -q "$work/ref-Data" "$work/ref/Data" >/dev/null ||
        { echo "FAIL: the second reference run differs from the first"; exit 1; }
    rm -rf "$work/ref-Data"
fi
echo "reference: $ref_ms ms, then $cached_ms ms," \
    "$(find "$work/ref/Data" -type f | wc -l) files in Data/"

killed=0
finished=0
for round in $(seq 1 "$rounds"); do
    # An earlier LastTime before every round, so that a killed run that saved the
    # newest stamp would show.
    if [ "$kind" = cards ] && grep -q '^LastTime=' "$work/victim/sorvantix.ini" 2>/dev/null; then
        sed -i 's|^LastTime=[^\r]*|LastTime=2001/01/01 00:00:00|' "$work/victim/sorvantix.ini"
    fi
    before=$(last_time "$work/victim")
    # Until a run gets through, the card rounds download (each killed one keeps what it
    # copied); after that they read from the cache.
    span_ms=$ref_ms
    [ "$finished" -gt 0 ] && span_ms=$cached_ms
    [ "$span_ms" -gt 0 ] || span_ms=1
    delay=$(((RANDOM * 32768 + RANDOM) % (span_ms + 1)))
    operation "$work/victim" &
    pid=$!
    sleep "$(printf '%d.%03d' $((delay / 1000)) $((delay % 1000)))"
    if kill -KILL "$pid" 2>/dev/null; then
        wait "$pid" 2>/dev/null
        state="killed"
        killed=$((killed + 1))
    else
        wait "$pid"
        rc=$?
        state="finished before the kill (exit $rc)"
        [ "$rc" -eq 0 ] || state="$state: $(grep -a -v -E '中．．．|中・・・' "$work/victim.err" | tail -2 | tr '\n' ' ')"
        finished=$((finished + 1))
    fi
    check_data "$work/victim/Data" "round $round"
    after=$(last_time "$work/victim")
    # A killed run may have saved LastTime only after storing the whole read: the kill
    # then came while it closed or exited.
    if [ "$kind" = cards ] && [ "$state" = killed ] && [ "$before" != "$after" ]; then
        if diff -r -q -x '.*' "$work/ref/Data" "$work/victim/Data" >/dev/null; then
            state="killed after saving $after over the whole Data folder"
        else
            fail "round $round: LastTime moved from $before to $after, Data/ incomplete"
        fi
    fi
    files=$(find "$work/victim/Data" -type f 2>/dev/null | wc -l)
    echo "round $round: after $delay ms $state; $files files whole," \
        "$temp_files leftover temp files"
    # A whole card folder would only be rewritten alike: start the next kill afresh.
    [ "$kind" != cards ] || [ "$state" = killed ] || rm -rf "$work/victim/Data"
done

# A write cut short by the kill leaves .<name>.XXXXXX beside its file. Plant one (half
# a file) so that the final run shows it is removed.
check_data "$work/victim/Data" "before the final run"
left_by_kills=$temp_files
case "$kind" in
    odds) planted=$(ls "$work/victim/Data/$day"/*.jvO2 2>/dev/null | head -1) ;;
    results) planted=$(ls "$work/victim/Data"/*.jvHR 2>/dev/null | head -1) ;;
    *) planted=$(ls "$work/victim/Data"/*.jvSEr 2>/dev/null | head -1) ;;
esac
if [ -n "$planted" ]; then
    head -c 60000 "$planted" >"$(dirname "$planted")/.$(basename "$planted").kILLed"
fi

echo "final run ..."
[ "$kind" = cards ] &&
    sed -i 's|^LastTime=[^\r]*|LastTime=2001/01/01 00:00:00|' "$work/victim/sorvantix.ini" 2>/dev/null
operation "$work/victim" || { fail "final run"; cat "$work/victim.err"; }
check_data "$work/victim/Data" final
leftover=$temp_files
if diff -r -x '.*' "$work/ref/Data" "$work/victim/Data" >"$work/diff.txt"; then
    echo "Data/ equals the reference ($(find "$work/ref/Data" -type f | wc -l) files)"
else
    fail "Data/ differs from the reference: $(head -5 "$work/diff.txt")"
fi
if ! diff <("$cli" --app-dir "$work/ref" days) <("$cli" --app-dir "$work/victim" days) >/dev/null; then
    fail "the day lists differ"
fi
echo "temp files in Data/: $left_by_kills left by the kills (and one planted), $leftover" \
    "after the final run"
[ "$leftover" -eq 0 ] || fail "the final run left $leftover temporary files"

if [ "$failures" -eq 0 ]; then
    echo "PASS: $killed of $rounds runs killed, seed $seed"
    exit 0
fi
echo "FAIL: $failures problems, seed $seed"
exit 1
