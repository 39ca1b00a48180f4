#!/usr/bin/env bash
# Kills the bulk race card import with SIGKILL at random moments and checks that the
# day files survive whole and that a later run ends with the same Data folder as an
# uninterrupted one.
#
#   scripts/kill_import.sh [--build DIR] [--from yyyy-mm-dd] [--to yyyy-mm-dd]
#                          [--rounds N] [--seed N] [--keep]
#
# Defaults: build folder "build", the year 2025, 6 rounds, a seed from $RANDOM (printed,
# so a failing run can be repeated with --seed). Prints PASS or FAIL; exits 1 on FAIL.
set -u

root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build"
from=2025-01-01
to=2025-12-31
rounds=6
seed=$RANDOM
keep=0
while [ $# -gt 0 ]; do
    case "$1" in
        --build) build=$2; shift 2 ;;
        --from) from=$2; shift 2 ;;
        --to) to=$2; shift 2 ;;
        --rounds) rounds=$2; shift 2 ;;
        --seed) seed=$2; shift 2 ;;
        --keep) keep=1; shift ;;
        -h|--help) sed -n '2,10p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) echo "unknown argument: $1" >&2; exit 2 ;;
    esac
done
case "$build" in /*) ;; *) build="$PWD/$build" ;; esac

cli="$build/src/cli/sorvantix-cli"
feedgen="$build/src/feed/sorvantix-feed"
for exe in "$cli" "$feedgen"; do
    if [ ! -x "$exe" ]; then
        echo "missing $exe (build the targets sorvantix-cli and sorvantix-feed)" >&2
        exit 2
    fi
done

RANDOM=$seed
work=$(mktemp -d "${TMPDIR:-/tmp}/kill-import.XXXXXX")
if [ "$keep" = 0 ]; then
    trap 'rm -rf "$work"' EXIT
fi
echo "seed $seed, span $from .. $to, $rounds rounds, work folder $work"

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

now_ms() { date +%s%3N; }

# Every file in Data/ must be whole: .jvRA whole 1272-byte records sorted ascending,
# .jvHR whole 719-byte records sorted, .jvSEr exactly 216 x 555 bytes. Temporary files
# of an interrupted atomic write (.<name>.XXXXXX) are counted, not data.
temp_files=0
check_data() {
    local data=$1 label=$2 f name size
    temp_files=0
    [ -d "$data" ] || return 0
    for f in "$data"/* "$data"/.[!.]*; do
        [ -e "$f" ] || continue
        name=$(basename "$f")
        size=$(stat -c %s "$f")
        case "$name" in
            .*) temp_files=$((temp_files + 1)) ;;
            *.jvSEr)
                [ "$size" -eq $((216 * 555)) ] || fail "$label: $name has $size bytes" ;;
            *.jvRA | *.jvHR)
                local len=1272
                case "$name" in *.jvHR) len=719 ;; esac
                if [ $((size % len)) -ne 0 ]; then
                    fail "$label: $name has $size bytes, not whole $len-byte records"
                elif [ "$(tr -cd '\n' <"$f" | wc -c)" -ne $((size / len)) ]; then
                    fail "$label: $name lines are not $len bytes each"
                elif ! LC_ALL=C sort -c "$f" 2>/dev/null; then
                    fail "$label: $name is not sorted"
                fi
                ;;
            *) fail "$label: unexpected file $name" ;;
        esac
    done
}

last_time() { grep -a '^LastTime=' "$1/sorvantix.ini" 2>/dev/null || echo "(none)"; }

fetch() { "$cli" --app-dir "$1" fetch-cards --setup --from 20000101000000 >/dev/null 2>"$1.err"; }

echo "generating the feed ..."
"$feedgen" --out "$work/feed" --from "$from" --to "$to" --seed 5 --odds-days none >/dev/null ||
    { echo "FAIL: feed generator"; exit 1; }
echo "feed: $(ls "$work/feed/RACE" | wc -l) RACE files, $(du -sh "$work/feed/RACE" | cut -f1)"

for app in ref victim; do
    "$cli" --app-dir "$work/$app" jvlink --feed "$work/feed" >/dev/null ||
        { echo "FAIL: jvlink --feed"; exit 1; }
done

echo "reference run (uninterrupted) ..."
start=$(now_ms)
fetch "$work/ref" || { echo "FAIL: reference run"; cat "$work/ref.err"; exit 1; }
ref_ms=$(($(now_ms) - start))
check_data "$work/ref/Data" reference
# Once the feed is in the cache a run is shorter: the later kills aim within that.
start=$(now_ms)
fetch "$work/ref" || { echo "FAIL: second reference run"; cat "$work/ref.err"; exit 1; }
cached_ms=$(($(now_ms) - start))
echo "reference: $ref_ms ms with the download, $cached_ms ms from the cache," \
    "$(ls "$work/ref/Data" | wc -l) files in Data/, $(last_time "$work/ref")"

killed=0
finished=0
for round in $(seq 1 "$rounds"); do
    # An earlier LastTime before every round, so that a killed run that saved the
    # newest stamp would show.
    if grep -q '^LastTime=' "$work/victim/sorvantix.ini" 2>/dev/null; then
        sed -i 's|^LastTime=[^\r]*|LastTime=2001/01/01 00:00:00|' "$work/victim/sorvantix.ini"
    fi
    before=$(last_time "$work/victim")
    # Until a run gets through, the rounds download (each killed one keeps what it
    # copied); after that they read from the cache.
    span_ms=$ref_ms
    [ "$finished" -gt 0 ] && span_ms=$((cached_ms * 3 / 4))
    delay=$(((RANDOM * 32768 + RANDOM) % (span_ms + 1)))
    "$cli" --app-dir "$work/victim" fetch-cards --setup --from 20000101000000 \
        >/dev/null 2>"$work/victim.err" &
    pid=$!
    sleep "$(printf '%d.%03d' $((delay / 1000)) $((delay % 1000)))"
    if kill -KILL "$pid" 2>/dev/null; then
        wait "$pid" 2>/dev/null
        state="killed"
        killed=$((killed + 1))
    else
        wait "$pid"
        state="finished before the kill (exit $?)"
        finished=$((finished + 1))
    fi
    check_data "$work/victim/Data" "round $round"
    after=$(last_time "$work/victim")
    # A killed run may have saved LastTime only after storing the whole read: the kill
    # then came while it closed or exited.
    if [ "$state" = killed ] && [ "$before" != "$after" ]; then
        if diff -r -q -x '.*' "$work/ref/Data" "$work/victim/Data" >/dev/null; then
            state="killed after saving $after over the whole Data folder"
        else
            fail "round $round: LastTime moved from $before to $after, Data/ incomplete"
        fi
    fi
    files=$(ls "$work/victim/Data" 2>/dev/null | wc -l)
    echo "round $round: after $delay ms $state; $files day files whole," \
        "$temp_files leftover temp files; $after"
    # A whole Data folder would only be rewritten alike: start the next kill afresh.
    [ "$state" = killed ] || rm -rf "$work/victim/Data"
done

# A write cut short by the kill leaves .<name>.XXXXXX beside the day file. Plant one
# (half an SE file) so that the final run shows it is passed over.
check_data "$work/victim/Data" "before the final run"
left_by_kills=$temp_files
planted=$(ls "$work/victim/Data"/*.jvSEr 2>/dev/null | head -1)
if [ -n "$planted" ]; then
    head -c 60000 "$planted" >"$work/victim/Data/.$(basename "$planted").kILLed"
fi

echo "final run ..."
fetch "$work/victim" || { fail "final run"; cat "$work/victim.err"; }
check_data "$work/victim/Data" final
leftover=$temp_files
# Leftover temporary files are no data: they are reported, and the day files compared.
if diff -r -x '.*' "$work/ref/Data" "$work/victim/Data" >"$work/diff.txt"; then
    echo "Data/ equals the reference ($(ls "$work/ref/Data" | wc -l) files)"
else
    fail "Data/ differs from the reference: $(head -5 "$work/diff.txt")"
fi
if ! diff <("$cli" --app-dir "$work/ref" days) <("$cli" --app-dir "$work/victim" days) >/dev/null; then
    fail "the day lists differ"
fi
echo "leftover temp files in Data/: $left_by_kills left by the kills, $leftover after the" \
    "final run (with the planted one); passed over by every reader"

if [ "$failures" -eq 0 ]; then
    echo "PASS: $killed of $rounds runs killed, seed $seed"
    exit 0
fi
echo "FAIL: $failures problems, seed $seed"
exit 1
