#!/usr/bin/env bash
# sorvantix-cli over a generated race day: stored series only grow, one writer at a
# time, every failure said with a non-zero exit, and nothing written by a command that
# only reads. Usage: cli_behaviour_test.sh CLI FEEDGEN
set -u
export LC_ALL=C.UTF-8
cli=$1
feedgen=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/cli-behaviour.XXXXXX")
trap 'rm -rf "$work"' EXIT

. "$(dirname "$0")/../check_lib.sh"
# Runs the CLI on an application folder: exit code in $rc, output in $out/$err.
run() {
    local app=$1
    shift
    "$cli" --app-dir "$app" "$@" >"$work/out" 2>"$work/err"
    rc=$?
    out=$(cat "$work/out")
    err=$(cat "$work/err")
}
lines() { if [ -f "$1" ]; then echo $(($(wc -c <"$1") / $2)); else echo 0; fi; }
tree_sum() { (cd "$1" && find . -type f ! -name sorvantix.lock -exec md5sum {} + | sort); }

day=20261206
"$feedgen" --out "$work/feed" --from 2026-12-06 --seed 11 >/dev/null || { echo "FAIL: feed"; exit 1; }
fresh_app() { # a folder with the day's cards and its feed
    local app=$1
    mkdir -p "$app"
    "$cli" --app-dir "$app" jvlink --feed "$work/feed" >/dev/null &&
        "$cli" --app-dir "$app" fetch-cards --setup >/dev/null 2>&1
}
fresh_app "$work/app" || { echo "FAIL: setup"; exit 1; }
app=$work/app
key=$("$cli" --app-dir "$app" races $day --keys | head -1)
key2=$("$cli" --app-dir "$app" races $day --keys | sed -n 2p)
o1=$app/Data/$day/${key:8:8}.jvO1
o2=$app/Data/$day/${key:8:8}.jvO2

# --- A missing application folder is created only by the commands that set one up.
for args in "days" "races $day" "analyse $key" "params list" "suisho" "board $day"; do
    run "$work/missing" $args
    check "$args on a missing folder fails" [ "$rc" -ne 0 ]
    check "$args on a missing folder creates nothing" [ ! -e "$work/missing" ]
done
before=$(tree_sum "$app")
run "$app" params list
check "params list succeeds" [ "$rc" -eq 0 ]
check "params list writes nothing" [ "$before" = "$(tree_sum "$app")" ]

# --- A missing feed folder is said, with how to choose one.
mkdir -p "$work/nofeed"
run "$work/nofeed" fetch-cards
check "fetch-cards without a feed folder fails" [ "$rc" -ne 0 ]
check "fetch-cards without a feed folder says so" grep -q "データフォルダがありません" <<<"$err"
check "and names the way to choose one" grep -q "jvlink --feed" <<<"$err"
run "$work/nofeed" jvlink --feed "$work/gone"
check "jvlink --feed of a missing folder fails" [ "$rc" -ne 0 ]
check "jvlink --feed names the missing folder" grep -q "データフォルダがありません: $work/gone" <<<"$err"

# --- Stored series only grow.
run "$app" fetch-odds "$key"
check "fetch-odds succeeds" [ "$rc" -eq 0 ]
full=$(lines "$o1" 962)
check "the series has many announcements" [ "$full" -gt 10 ]
echo "JVRead 0B41 * 0 at=3" >"$work/feed/faults.txt"
run "$app" fetch-odds "$key"
check "a read that ends early keeps every stored announcement" [ "$(lines "$o1" 962)" -eq "$full" ]
rm "$work/feed/faults.txt"
run "$app" fetch-odds --day $day --races 1 --flash
check "the flash fetch succeeds" [ "$rc" -eq 0 ]
check "flash odds keep the win series" [ "$(lines "$o1" 962)" -ge "$full" ]
run "$app" analyse "$key"
check "the race still analyses after the flash fetch" [ "$rc" -eq 0 ]

# --- The schedule fetch reports every failed race and exits non-zero.
echo "JVRTOpen 0B41 $key -504" >"$work/feed/faults.txt"
run "$app" fetch-odds --day $day --races 1,2
rm "$work/feed/faults.txt"
check "a failed open fails the schedule fetch" [ "$rc" -ne 0 ]
check "no completion message after a failure" bash -c "! grep -q 'データ作成が完了しました' <<<\"\$1\"" _ "$err"
check "the failed race and its code are said" grep -q "JVRTOpenエラー:.*(-504)" <<<"$err"
check "the other race was fetched" [ -s "$app/Data/$day/${key2:8:8}.jvO1" ]
check "the failure is in the error log" grep -q -- "-504" <(iconv -f CP932 -t UTF-8 "$app/ErrorLog.txt")
echo "JVClose 0B41 * -502" >"$work/feed/faults.txt"
run "$app" fetch-odds "$key"
rm "$work/feed/faults.txt"
check "a JVClose error names the operation" grep -q "JVCloseエラー:" <<<"$err"

# --- An empty odds file is no time point.
cp "$o1" "$work/o1.keep"
: >"$o1"
run "$app" analyse "$key"
check "analyse of an empty .jvO1 fails" [ "$rc" -ne 0 ]
cp "$work/o1.keep" "$o1"

# --- Flow times take the latest announcement at or before them.
first=$(run "$app" flow "$key" --json; grep -o '"from": "[0-9]*"' <<<"$out" | grep -o '[0-9]\{8\}')
minute=$((10#${first:6:2} + 1))
asked=${first:0:6}$(printf %02d $((minute % 60)))
[ $minute -lt 60 ] || asked=$first
run "$app" flow "$key" --from "$asked"
check "flow takes an announcement at or before the time asked" [ "$rc" -eq 0 ]

# --- Hits: one copy of a day in the log; an unreadable recommended-horse file writes nothing.
for k in $("$cli" --app-dir "$app" races $day --keys); do "$cli" --app-dir "$app" fetch-odds "$k" >/dev/null 2>&1; done
"$cli" --app-dir "$app" fetch-results $day >/dev/null 2>&1
run "$app" hits $day
if [ -f "$app/HPupload/Rezovuro.txt" ]; then
    once=$(md5sum <"$app/HPupload/Rezovuro.txt")
    run "$app" hits $day
    check "hits run twice keeps one copy of the day in the log" [ "$once" = "$(md5sum <"$app/HPupload/Rezovuro.txt")" ]
    check "the replaced page is said" grep -q "置き換え" <<<"$out"
fi
sei=$(ls "$app"/Suisho/*.sei | head -1)
mv "$sei" "$work/sei.keep"
mkdir "$sei"
before=$(tree_sum "$app/HPupload")
run "$app" hits $day
check "hits with an unreadable recommended-horse file fails" [ "$rc" -ne 0 ]
check "and names the file" grep -qF "$sei" <<<"$err"
check "and writes nothing" [ "$before" = "$(tree_sum "$app/HPupload")" ]
rmdir "$sei" && mv "$work/sei.keep" "$sei"

# --- Refusals that change nothing.
before=$(tree_sum "$app")
run "$app" params delete 99
check "params delete of a missing set fails" [ "$rc" -ne 0 ]
check "and changes nothing" [ "$before" = "$(tree_sum "$app")" ]
run "$app" backtest --params 99
check "backtest of a missing set fails" [ "$rc" -ne 0 ]
run "$app" export --sqlite ''
check "export to an empty name fails" [ "$rc" -ne 0 ]
if command -v sqlite3 >/dev/null; then
    sqlite3 "$work/newer.db" "CREATE TABLE meta (key TEXT PRIMARY KEY, value TEXT); INSERT INTO meta VALUES ('schema_version', '9');"
    sqlite3 "$work/foreign.db" "CREATE TABLE meta (k TEXT, v TEXT); INSERT INTO meta VALUES ('x', 'y');"
    for db in newer foreign; do
        sum=$(md5sum <"$work/$db.db")
        run "$app" export --sqlite "$work/$db.db"
        check "export refuses the $db database" [ "$rc" -ne 0 ]
        check "and leaves it untouched" [ "$sum" = "$(md5sum <"$work/$db.db")" ]
    done
fi
run "$app" suisho --file ../../etc/passwd
check "suisho --file names the argument as given" grep -qF "../../etc/passwd" <<<"$err"

# --- The settings file's BOM: the last download time is still found.
"$cli" --app-dir "$app" fetch-cards >/dev/null 2>&1
ini=$app/sorvantix.ini
check "a download keeps its time" grep -q "^LastTime=" "$ini"
printf '\xEF\xBB\xBF' | cat - "$ini" >"$work/ini" && cp "$work/ini" "$ini"
run "$app" fetch-cards
check "fetch-cards reads the settings through a BOM" grep -q "^0件のレコードを保存しました" <<<"$err"
check "the settings file keeps one section of each name" \
    [ "$(grep -c '\[' "$ini")" -eq "$(grep -o '\[[A-Za-z]*\]' "$ini" | sort -u | wc -l)" ]
check "and its BOM" [ "$(head -c 3 "$ini" | od -An -tx1 | tr -d ' ')" = efbbbf ]

# --- One writer at a time: concurrent writers all succeed and leave a single run's files.
fresh_app "$work/single"
"$cli" --app-dir "$work/single" fetch-odds "$key" >/dev/null 2>&1
fresh_app "$work/twice"
pids=()
for i in 1 2 3 4; do
    "$cli" --app-dir "$work/twice" fetch-odds "$key" >/dev/null 2>"$work/err$i" &
    pids+=($!)
done
"$cli" --app-dir "$work/twice" fetch-odds "$key2" >/dev/null 2>"$work/err5" &
pids+=($!)
ok=1
for p in "${pids[@]}"; do wait "$p" || ok=0; done
check "concurrent fetch-odds all succeed" [ "$ok" = 1 ]
check "the race's files equal a single run's" cmp -s "$work/single/Data/$day/${key:8:8}.jvO1" "$work/twice/Data/$day/${key:8:8}.jvO1"
check "and the quinella file" cmp -s "$work/single/Data/$day/${key:8:8}.jvO2" "$work/twice/Data/$day/${key:8:8}.jvO2"
check "no temporary file is left" [ -z "$(find "$work/twice/Data" -name '.*.??????')" ]
# Race cards imported again while the day's results are merged: both wait their turn.
# The later writer wins, so the pair must equal one of the two orders, not a mix.
fresh_app "$work/pair"
fresh_app "$work/ref"
fresh_app "$work/rev"
"$cli" --app-dir "$work/ref" fetch-cards --setup >/dev/null 2>&1
"$cli" --app-dir "$work/ref" fetch-results $day >/dev/null 2>&1
"$cli" --app-dir "$work/rev" fetch-results $day >/dev/null 2>&1
"$cli" --app-dir "$work/rev" fetch-cards --setup >/dev/null 2>&1
"$cli" --app-dir "$work/pair" fetch-cards --setup >/dev/null 2>"$work/err-cards" &
a=$!
"$cli" --app-dir "$work/pair" fetch-results $day >/dev/null 2>"$work/err-results"
b=$?
wait $a
ra=$?
check "fetch-cards beside fetch-results succeeds" [ "$ra" -eq 0 ]
check "fetch-results beside fetch-cards succeeds" [ "$b" -eq 0 ]
day_files() { (cd "$1/Data" && find . -maxdepth 1 -type f -name '*.jv*' -exec md5sum {} + | sort); }
pair_files=$(day_files "$work/pair")
check "their day files equal one run after the other" \
    [ "$pair_files" = "$(day_files "$work/ref")" -o "$pair_files" = "$(day_files "$work/rev")" ]
check "and the two orders do differ, so the check above can fail" \
    [ "$(day_files "$work/ref")" != "$(day_files "$work/rev")" ]

# --- auto: --until after midnight, and the day follows the clock.
run "$app" auto --now "2026-12-06 23:58" --speed 600 --until 00:03
check "auto with --until after midnight succeeds" [ "$rc" -eq 0 ]
check "auto follows the clock into the next day" grep -q "2026年12月07日" <<<"$err"
# At 600 times real speed a busy machine may see a simulated minute or two pass
# before the loop looks at the clock again.
check "and stops at --until" grep -q "^00:0[3-9]:.. 終了" <<<"$err"

# --- auto --live: a day lived at 600 times real speed from 11:00 to 12:30, its cards
# fetched before the day began (no results yet).
mkdir -p "$work/live"
"$cli" --app-dir "$work/live" jvlink --feed "$work/feed" >/dev/null
run "$work/live" fetch-cards --setup --now "2026-12-06 08:30"
check "fetch-cards --now succeeds" [ "$rc" -eq 0 ]
check "and stores no results before the day" [ ! -e "$work/live/Data/2026年12月06日.jvHR" ]
run "$work/live" auto --live --now "2026-12-06 11:00" --speed 600 --until 12:30
check "auto --live succeeds" [ "$rc" -eq 0 ]
check "auto --live says its cadence" grep -q "^ライブ: 10分毎、発走30分前から1分毎" <<<"$err"
events=$(grep -P '^\d\d:\d\d:\d\d\t' <<<"$out")
check "auto --live prints its refreshes" grep -qP '\tライブ取得\t' <<<"$events"
check "each with the race's latest announcement and next refresh" \
    grep -qP '\t取得済み\t.*\t最終発表 \d\d:\d\d\t次回 \d\d:\d\d$' <<<"$events"
check "the races already off are fetched once to post" grep -qP '\t発走まで取得済み$' <<<"$events"
check "results are asked for race by race" grep -qP '\t結果情報\t' <<<"$events"
check "and the payouts arrive" grep -qP '\t払戻\t[1-9]\d*/\d+レース$' <<<"$events"
check "everything in time order" [ "$(cut -f1 <<<"$events")" = "$(cut -f1 <<<"$events" | sort)" ]
busiest=$(grep -P '\t(ライブ取得|結果情報)\t' <<<"$events" | cut -c1-5 | uniq -c | sort -n | tail -1)
check "no minute over the budget of 12 requests (busiest: $busiest)" [ "${busiest% *}" -le 12 ]
check "at the end each race's post time and latest announcement" \
    grep -qP '^  .*\t発走 \d\d:\d\d\t最終発表 \d\d:\d\d\t\d+件' <<<"$out"
check "and it stops at --until" grep -q "^12:3[0-9]:.. 終了" <<<"$err"

checks_done
