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
    WINEPREFIX="$prefix" wineserver -k 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

passed=0
failed=0
check() {
    local what=$1
    shift
    if "$@"; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "FAIL: $what"
    fi
}
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
check "no bridge process is left" bash -c "! pgrep -f sorvantix-jvlink-bridge.exe >/dev/null"
check "the stored series is untouched" cmp -s "$work/R/Data/$day/${key:8:8}.jvO1" "$work/B/Data/$day/${key:8:8}.jvO1"

# The bridge killed in the middle of a read: what was stored stays whole.
# The 200th read is held up, so the kill lands in the middle of the read loop.
cp -r "$work/B" "$work/K"
before=$(data_sum "$work/K")
echo "JVRead RACE * hang=30 at=200" >"$feed/faults.txt"
"$cli" --app-dir "$work/K" fetch-cards --setup --from 20000101000000 >/dev/null 2>&1 &
cards=$!
for _ in $(seq 1 200); do
    pgrep -f sorvantix-jvlink-bridge.exe >/dev/null && break
    sleep 0.05
done
sleep 2
pkill -KILL -f sorvantix-jvlink-bridge.exe
wait $cards
rc=$?
rm -f "$feed/faults.txt"
check "a killed bridge fails the import" [ "$rc" -ne 0 ]
check "and loses nothing stored" [ "$before" = "$(data_sum "$work/K")" ]
check "no temporary file is left" [ -z "$(find "$work/K/Data" -name '.*.??????')" ]
"$cli" --app-dir "$work/K" fetch-cards --setup --from 20000101000000 >/dev/null 2>&1
check "the next import through a fresh bridge succeeds" [ $? -eq 0 ]

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
