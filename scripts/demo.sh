#!/usr/bin/env bash
# The demo race day, the way a user runs it: generate a weekend feed for the replay
# JV-Link, point JV-Link at it, fetch the race cards, the odds of every race and the
# results, run the batch and show the analysis of the main race. Everything lives in
# demo/app; the user's own application folder is never touched.
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD=${BUILD:-build}
CLI="$BUILD/src/cli/sorvantix-cli"
FEED="$BUILD/src/feed/sorvantix-feed"
APP="$PWD/demo/app"
FROM=2026-12-05
TO=2026-12-06
DAY=20261206

rm -rf demo
mkdir -p "$APP"
run() { echo; echo "\$ $*"; "$@"; }

run "$FEED" --out "$APP/feed" --from "$FROM" --to "$TO" --seed 7
run "$CLI" --app-dir "$APP" jvlink --feed "$APP/feed"
echo; echo "\$ $CLI --app-dir $APP fetch-cards --setup   (one list line per record, not shown)"
"$CLI" --app-dir "$APP" fetch-cards --setup 2>&1 | { grep -v '^作成済み' || true; }
run "$CLI" --app-dir "$APP" days
for day in 20261205 20261206; do
    for key in $("$CLI" --app-dir "$APP" races "$day" --keys); do
        "$CLI" --app-dir "$APP" fetch-odds "$key" > /dev/null 2>&1
    done
    echo "odds fetched for every race of $day"
    run "$CLI" --app-dir "$APP" fetch-results "$day" 2>&1 | head -8
done
run "$CLI" --app-dir "$APP" batch "$DAY"
# The main race: the 11th race of the day's last venue.
MAIN=$("$CLI" --app-dir "$APP" races "$DAY" --keys | grep '11$' | tail -1)
run "$CLI" --app-dir "$APP" analyse "$MAIN"
# The day's reports: the hit page, the recommended-horse table of the main race's
# venue and the PA ratio chart of its favourite.
run "$CLI" --app-dir "$APP" hits "$DAY"
run "$CLI" --app-dir "$APP" suisho
run "$CLI" --app-dir "$APP" chart "$MAIN"

# The desktop program on the same folder: opened when there is a display, otherwise
# grabbed offscreen on each tab.
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    echo; echo "\$ $BUILD/src/app/sorvantix --app-dir $APP"
    exec "$BUILD/src/app/sorvantix" --app-dir "$APP"
fi
echo
QT_QPA_PLATFORM=offscreen "$BUILD/src/app/sorvantix-screenshots" --app-dir "$APP" --race "$MAIN" \
    --out demo/screenshots --pdf demo/screenshots/race.pdf 2>/dev/null >/dev/null
echo "No display: screenshots of the main window on each tab are in demo/screenshots/"
