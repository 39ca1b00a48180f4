#!/usr/bin/env bash
# The real bridge under Wine, hosting the stand-in JV-Link object (fake-jvlink.dll),
# against the replay of the same feed: race cards, odds series and a day's results
# fetched through sorvantix-cli both ways leave Data/ byte for byte alike; a fault code
# is reported alike; a call that hangs ends within its timeout with its message and no
# Wine process of ours left; a bridge killed during a read loses nothing stored.
#
#   tests/bridge/bridge_wine_test.sh CLI BRIDGE_BUILD_DIR PREFIX FEED
#
# PREFIX is a Wine prefix with fake-jvlink.dll registered to serve FEED
# (scripts/wine_jvlink.sh --prefix PREFIX --register-fake FEED).
set -u
export LC_ALL=C.UTF-8
cli=$1
bridge_dir=$2
prefix=$3
feed=$4
bridge="$bridge_dir/sorvantix-jvlink-bridge.exe"
work=$(mktemp -d "${TMPDIR:-/tmp}/bridge-wine.XXXXXX")
cleanup() {
    rm -f "$feed/faults.txt"
    WINEPREFIX="$prefix" wineserver -k 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

. "$(dirname "$0")/../check_lib.sh"
data_sum() { (cd "$1/Data" && find . -type f -exec md5sum {} + | sort); }
day=20261206
races=$(ls "$feed/0B41" | head -3 | sed 's/\.jvd$//')

# The same acquisitions over the replay (R) and over the bridge (B).
acquire() {
    local app=$1
    "$cli" --app-dir "$app" fetch-cards --setup >/dev/null 2>"$app.cards.err" || return 1
    for key in $races; do
        "$cli" --app-dir "$app" fetch-odds "$key" >/dev/null 2>>"$app.odds.err" || return 1
    done
    "$cli" --app-dir "$app" fetch-results $day >/dev/null 2>"$app.results.err"
}
mkdir -p "$work/R" "$work/B"
"$cli" --app-dir "$work/R" jvlink --feed "$feed" >/dev/null
start=$SECONDS
"$cli" --app-dir "$work/B" jvlink --wine-prefix "$prefix" --bridge "$bridge" >"$work/jvlink.out" 2>&1
check "jvlink --wine-prefix chooses the bridge and starts it" grep -q "m_JVLinkVersion: fake" "$work/jvlink.out"
acquire "$work/R"
check "the acquisitions over the replay succeed" [ $? -eq 0 ]
acquire "$work/B"
check "the acquisitions through the bridge succeed" [ $? -eq 0 ]
echo "acquisitions through the bridge: $((SECONDS - start)) s"
check "Data/ through the bridge equals the replay's byte for byte" \
    [ "$(data_sum "$work/R")" = "$(data_sum "$work/B")" ]
check "and holds the odds and the results" [ "$(find "$work/B/Data" -name '*.jvO1' | wc -l)" -eq 3 ]

# A fault code is reported as the replay reports it.
key=$(echo "$races" | head -1)
echo "JVRTOpen 0B41 $key -504" >"$feed/faults.txt"
for side in R B; do
    "$cli" --app-dir "$work/$side" fetch-odds "$key" >/dev/null 2>"$work/$side.fault.err"
    echo $? >"$work/$side.fault.rc"
done
check "an injected -504 fails both ways" [ "$(cat "$work/R.fault.rc")" = 1 -a "$(cat "$work/B.fault.rc")" = 1 ]
check "with the same message" cmp -s "$work/R.fault.err" "$work/B.fault.err"
grep -q -- "-504" "$work/B.fault.err"
check "naming the code" [ $? -eq 0 ]

# A call that hangs (a dialog nobody answers) ends within its timeout.
echo "JVRTOpen 0B41 * hang=600" >"$feed/faults.txt"
"$cli" --app-dir "$work/B" jvlink --open-timeout 3 >/dev/null 2>&1
start=$SECONDS
"$cli" --app-dir "$work/B" fetch-odds "$key" >/dev/null 2>"$work/hang.err"
rc=$?
took=$((SECONDS - start))
rm -f "$feed/faults.txt"
check "a hanging open fails" [ "$rc" -ne 0 ]
check "within its timeout ($took s)" [ "$took" -lt 30 ]
check "saying what happened and the likely cause" grep -q "JV-Linkが応答しません（JVRTOpen、3秒）.*更新のお知らせ" "$work/hang.err"
sleep 1
no_bridge_left() { ! pgrep -f "$bridge" >/dev/null; }
check "no bridge process is left" no_bridge_left
check "the stored series is untouched" cmp -s "$work/R/Data/$day/${key:8:8}.jvO1" "$work/B/Data/$day/${key:8:8}.jvO1"

# The bridge killed in the middle of a read: what was stored stays. A read is held up
# (hang=N) so that the kill lands inside the read loop; the bridge is the command's
# child (wine becomes the program it starts).
kill_bridge_of() { # the command's pid
    local child=""
    for _ in $(seq 1 200); do
        child=$(pgrep -P "$1" | head -1)
        [ -n "$child" ] && break
        sleep 0.05
    done
    sleep 2
    [ -n "$child" ] && kill -KILL "$child"
}
cp -r "$work/B" "$work/K"
echo "JVRead 0B41 * hang=30 at=3" >"$feed/faults.txt"
"$cli" --app-dir "$work/K" fetch-odds "$key" >/dev/null 2>&1 &
odds=$!
kill_bridge_of $odds
wait $odds
rc=$?
check "a killed bridge fails the odds fetch" [ "$rc" -ne 0 ]
check "and the stored series loses nothing" cmp -s "$work/B/Data/$day/${key:8:8}.jvO1" "$work/K/Data/$day/${key:8:8}.jvO1"

echo "JVRead RACE * hang=30 at=200" >"$feed/faults.txt"
"$cli" --app-dir "$work/K" fetch-cards --setup --from 20000101000000 >/dev/null 2>&1 &
cards=$!
kill_bridge_of $cards
wait $cards
rc=$?
rm -f "$feed/faults.txt"
check "a killed bridge fails the card import" [ "$rc" -ne 0 ]
check "no temporary file is left" [ -z "$(find "$work/K/Data" -name '.*.??????')" ]
"$cli" --app-dir "$work/K" fetch-cards --setup --from 20000101000000 >/dev/null 2>&1
check "the next import through a fresh bridge succeeds" [ $? -eq 0 ]
"$cli" --app-dir "$work/K" fetch-results $day >/dev/null 2>&1
check "and ends with every file as before" [ "$(data_sum "$work/B")" = "$(data_sum "$work/K")" ]

checks_done
