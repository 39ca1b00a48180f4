#!/usr/bin/env bash
# Feeds sorvantix-cli bad input from JV-Link and from damaged files and checks that
# nothing crashes, nothing is written outside the application folder's own places,
# and no good record is lost.
#
#   scripts/bad_input.sh [--build DIR] [--keep]
#
# JV-Link: a stored-data file of bad records served after the good ones (wrong length,
# non-digit keys, an unknown record type, race numbers 00, 13 and 99, horse numbers 0
# and 19, registered-runner counts of 99 and blanks, a stray LF) and real-time odds
# with garbage fields, short lines and another race's records. Files: a .jvSEr cut
# short and a stray LF in every kind of day file; concurrent fetches of one race beside a
# flash fetch on one folder. Every command must end with exit
# code 0 or 1 (no signal, no abort) and the Data folder must hold every good record of
# the same feed without the bad input. Prints PASS or FAIL.
set -u
export LC_ALL=C

root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build"
keep=0
while [ $# -gt 0 ]; do
    case "$1" in
        --build) build=$2; shift 2 ;;
        --keep) keep=1; shift ;;
        -h|--help) sed -n '2,14p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) echo "unknown argument: $1" >&2; exit 2 ;;
    esac
done
case "$build" in /*) ;; *) build="$PWD/$build" ;; esac
cli="$build/src/cli/sorvantix-cli"
feedgen="$build/src/feed/sorvantix-feed"
for exe in "$cli" "$feedgen"; do
    [ -x "$exe" ] || { echo "missing $exe (build sorvantix-cli and sorvantix-feed)" >&2; exit 2; }
done
work=$(mktemp -d "${TMPDIR:-/tmp}/bad-input.XXXXXX")
[ "$keep" = 1 ] || trap 'rm -rf "$work"' EXIT

failures=0
checks=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

day=20261206
dayfile="2026年12月06日"
"$feedgen" --out "$work/good" --from 2026-12-06 --seed 7 >/dev/null || { echo "FAIL: feed"; exit 1; }
cp -r "$work/good" "$work/bad"

# The line of a record file, without its LF (CR kept), by number.
line_of() { sed -n "${2}p" "$1" | tr -d '\n'; }
# The record with `text` at 1-based byte position `pos`.
patch() {
    local rec=$1 pos=$2 text=$3
    printf '%s%s%s' "${rec:0:pos-1}" "$text" "${rec:pos-1+${#text}}"
}

ra=$(line_of "$(ls "$work/good"/RACE/*-RA_cards.jvd)" 1)
se=$(line_of "$(ls "$work/good"/RACE/*-SE_cards.jvd)" 1)
hr=$(line_of "$(ls "$work/good"/RACE/*-HR_payouts.jvd)" 1)
# Race 12's key with another race number (26-27) or day (16-19).
key_race() { patch "$1" 26 "$2"; }
# Records as JV-Link delivers them end with CR LF; the file's last line has a bare LF,
# which the replay reports as damaged file content (-403) once everything before it
# has been read.
{
    printf '%s\r\n' "${ra:0:600}"                                   # RA cut short
    printf '%s\r\n' "${se%$'\r'}XX"                                # SE too long
    printf '%s\n' "$(patch "$ra" 12 "2026AB06")"                     # non-digit key
    printf '%s\n' "$(patch "$ra" 1 "ZZ")"                            # unknown record type
    for race in 00 13 99; do
        printf '%s\n' "$(key_race "$ra" "$race")"
        printf '%s\n' "$(key_race "$se" "$race")"
        printf '%s\n' "$(key_race "$hr" "$race")"
    done
    printf '%s\n' "$(patch "$se" 29 "00")"                           # horse 0
    printf '%s\n' "$(patch "$se" 29 "19")"                           # horse 19
    # A race of Monday the 7th, 99 registered runners; and one with blanks.
    printf '%s\n' "$(patch "$(patch "$ra" 16 "1207")" 882 "99")"
    printf '%s\n' "$(patch "$(patch "$(patch "$ra" 16 "1207")" 26 "02")" 882 "  ")"
    printf '%s\n%s\n' "${se:0:300}" "${se:300}"                       # stray LF inside a record
} >"$work/bad/RACE/20261207180000-bad.jvd"

# Real-time odds of the first race: a garbage win-odds field at a time of its own, a
# short line, a line of another race, and last a stray LF.
key=$(head -c 27 "$(ls "$work/good"/0B41/*.jvd | head -1)" | tail -c 16)
o1file="$work/bad/0B41/$key.jvd"
o1=$(line_of "$o1file" 1)
{
    printf '%s\n' "$(patch "$(patch "$o1" 32 "2359")" 48 "ab.c")"
    printf '%s\r\n' "${o1:0:100}"
    printf '%s\n' "$(patch "$o1" 26 "12")"
    printf '%s\n%s\n' "${o1:0:500}" "${o1:500}"
} >>"$o1file"
o2file="$work/bad/0B42/$key.jvd"
o2=$(line_of "$o2file" 1)
printf '%s\n' "$(patch "$(patch "$o2" 32 "2359")" 45 "xx9999")" >>"$o2file"

# Exit code 0 or 1 only: no signal, no abort, no uncaught exception.
run() {
    local app=$1
    shift
    checks=$((checks + 1))
    "$cli" --app-dir "$app" "$@" >"$work/out.txt" 2>"$work/err.txt"
    local rc=$?
    if [ "$rc" -gt 1 ] || grep -q -a -E 'terminate called|Segmentation|Assertion|内部エラー' \
        "$work/err.txt" "$work/out.txt"; then
        fail "$* ended with $rc: $(head -3 "$work/err.txt")"
    fi
    return $rc
}

for side in good bad; do
    app="$work/$side-app"
    run "$app" jvlink --feed "$work/$side"
    run "$app" fetch-cards --setup
    cp "$work/err.txt" "$work/$side-cards.err"
    run "$app" races "$day" --keys
    for k in $(cat "$work/out.txt"); do
        run "$app" fetch-odds "$k"
    done
    run "$app" fetch-results "$day"
done
echo "the card import over the bad records said:"
grep -a -v -E 'ダウンロード中|データ読込み中|以降のデータ取込|JVOpen正常|ReadCount' \
    "$work/bad-cards.err" | head -8 | cut -c1-160 | sed 's/^/    /'

# No good record lost: every day file of the clean feed is in `data` byte for byte,
# and its odds files hold every good line.
expect_good_records() { # data folder, what to say on a loss
    local data=$1 when=$2 f name missing
    for f in "$work/good-app/Data"/*.jv*; do
        name=$(basename "$f")
        cmp -s "$f" "$data/$name" || fail "Data/$name differs from the clean import $when"
    done
    for f in "$work/good-app/Data/$day"/*; do
        name=$(basename "$f")
        missing=$(comm -23 <(sort "$f") <(sort "$data/$day/$name") | wc -l)
        [ "$missing" -eq 0 ] || fail "Data/$day/$name lost $missing good lines $when"
    done
}
expect_good_records "$work/bad-app/Data" "after the bad input"
extra=$(comm -13 <(ls "$work/good-app/Data") <(ls "$work/bad-app/Data"))
echo "day files only in the bad import: ${extra:-none}"

# Nothing outside the application folder's own places.
for app in good-app bad-app; do
    find "$work/$app" -mindepth 1 -maxdepth 1 | while read -r p; do
        case "$(basename "$p")" in
            Data | Suisho | HPupload | jvcache | ErrorLog.txt | sorvantix.ini | jvlink.ini | \
                sorvantix.lock) ;;
            *) echo "$p" ;;
        esac
    done
done >"$work/stray.txt"
find "$work/bad-app/Data" -mindepth 1 -type d ! -name '[0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9]' \
    >>"$work/stray.txt"
[ -s "$work/stray.txt" ] && fail "written outside the expected places: $(head -3 "$work/stray.txt")"

# Concurrent writers on one folder wait their turn: every fetch succeeds and the stored
# files are those of one fetch; a flash fetch adds its time point and loses none.
good="$work/good-app"
cp -r "$good/Data/$day" "$work/odds-before"
gkey=$("$cli" --app-dir "$good" races "$day" --keys | head -1)
pids=()
for i in 1 2 3 4; do
    "$cli" --app-dir "$good" fetch-odds "$gkey" >/dev/null 2>&1 &
    pids+=($!)
done
"$cli" --app-dir "$good" fetch-odds --day "$day" --races 1 --flash >/dev/null 2>&1 &
pids+=($!)
for p in "${pids[@]}"; do
    checks=$((checks + 1))
    wait "$p" || fail "a concurrent fetch on one folder failed"
done
for f in "$work/odds-before"/*; do
    name=$(basename "$f")
    missing=$(comm -23 <(sort "$f") <(sort "$good/Data/$day/$name") | wc -l)
    [ "$missing" -eq 0 ] || fail "Data/$day/$name lost $missing lines to concurrent or flash fetches"
done
[ -z "$(find "$good/Data" -name '.*.??????')" ] || fail "a temporary file was left behind"

# The 99-runner day and the garbage time point are read without a crash.
bad="$work/bad-app"
run "$bad" races 20261207
echo "Monday the 7th (99 and blank runner counts): $(head -c 200 "$work/err.txt" | tr '\n' ' ')"
run "$bad" analyse "$key" --time "12062359"
echo "garbage odds at 23:59: exit $?, $(head -c 160 "$work/err.txt" | tr '\n' ' ')"

# Damaged files: a .jvSEr cut short and a stray LF in every kind of day file.
data="$bad/Data"
se_file=$(ls "$data/$dayfile"*.jvSEr | head -1)
head -c 100000 "$se_file" >"$work/cut" && cp "$work/cut" "$se_file"
stray_lf() { # file, byte offset
    { head -c "$2" "$1"; printf '\n'; tail -c +"$(($2 + 1))" "$1"; } >"$work/lf" && cp "$work/lf" "$1"
}
stray_lf "$data/$dayfile.jvRA" 3000
stray_lf "$data/$dayfile.jvHR" 1000
stray_lf "$(ls "$data/$dayfile"*.jvSEr | tail -1)" 5000
stray_lf "$data/$day/$(ls "$data/$day" | grep jvO1 | head -1)" 1500
stray_lf "$data/$day/$(ls "$data/$day" | grep jvO2 | head -1)" 3000
run "$bad" days
run "$bad" races "$day"
echo "damaged day: $(head -c 300 "$work/err.txt" | tr '\n' ' ')"
for k in $("$cli" --app-dir "$bad" races "$day" --keys 2>/dev/null); do
    run "$bad" analyse "$k"
    run "$bad" chart "$k"
done
run "$bad" batch "$day"
run "$bad" hits "$day"
run "$bad" suisho
run "$bad" print-layout "$key" --json
# A new import over the damaged files restores every good record.
run "$bad" fetch-cards --setup --from 20000101000000
run "$bad" fetch-results "$day"
for k in $("$cli" --app-dir "$bad" races "$day" --keys 2>/dev/null); do
    run "$bad" fetch-odds "$k"
done
expect_good_records "$data" "after a new import over the damaged files"

if [ "$failures" -eq 0 ]; then
    echo "PASS: $checks commands on bad input, no crash, no good record lost"
    exit 0
fi
echo "FAIL: $failures problems in $checks commands"
exit 1
