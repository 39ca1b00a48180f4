#!/usr/bin/env bash
# The README's screenshots: the demo race day (make demo without a display), then the
# main window at 1280 x 800 (also at 1024 x 700 and 1920 x 1080) on the 分析表, 参考買い目, PA比 and PA比ｸﾞﾗﾌ tabs of the
# day's last 11th race, each window the main window opens, and the race's printed page
# as PDF with a PNG of it (pdftoppm, from poppler-utils), and the board and the main
# race's chart at 13:00 of the demo Sunday lived at 600 times speed, into docs/screenshots/.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD:-build}
DISPLAY= WAYLAND_DISPLAY= BUILD="$BUILD" scripts/demo.sh > /dev/null
mkdir -p docs/screenshots
for tab in analysis bets pa chart flow; do
    cp "demo/screenshots/main-$tab.png" "docs/screenshots/main-$tab.png"
    echo "docs/screenshots/main-$tab.png"
done
for window in TGetDataForm TOddsSchejForm TSuishoSetForm TSuishoListForm TPrintPreviewForm \
    BoardWindow BacktestWindow AlertSettingsDialog; do
    cp "demo/screenshots/window-$window.png" "docs/screenshots/window-$window.png"
    echo "docs/screenshots/window-$window.png"
done
# The main window where a laptop leaves 1024 x 700 and on a 1920 x 1080 screen, on the
# demo's main race (the 11th race of the day's last venue).
main=$("$BUILD/src/cli/sorvantix-cli" --app-dir demo/app races 20261206 --keys | grep '11$' | tail -1)
for size in 1024x700 1920x1080; do
    out=$(mktemp -d)
    QT_QPA_PLATFORM=offscreen "$BUILD/src/app/sorvantix-screenshots" --app-dir demo/app \
        --race "$main" --size "$size" \
        --out "$out" > /dev/null 2>&1
    cp "$out/main-analysis.png" "docs/screenshots/main-$size.png"
    [ "$size" = 1024x700 ] && cp "$out/main-chart.png" "docs/screenshots/main-chart-1024x700.png"
    rm -rf "$out"
    echo "docs/screenshots/main-$size.png"
done
command -v pdftoppm > /dev/null || { echo "pdftoppm is missing: apt-get install poppler-utils"; exit 1; }
cp demo/screenshots/race.pdf docs/screenshots/race.pdf
pdftoppm -png -r 60 -singlefile docs/screenshots/race.pdf docs/screenshots/race-page
echo "docs/screenshots/race.pdf docs/screenshots/race-page.png"
# A live day: the Sunday's cards as before the day, lived from 08:50 to 13:00 at 600
# times speed (about 25 seconds), then the board and the main race's chart at 13:00.
live=$(mktemp -d)
"$BUILD/src/feed/sorvantix-feed" --out "$live/feed" --from 2026-12-05 --to 2026-12-06 --seed 7 > /dev/null
"$BUILD/src/cli/sorvantix-cli" --app-dir "$live" jvlink --feed "$live/feed" > /dev/null
"$BUILD/src/cli/sorvantix-cli" --app-dir "$live" fetch-cards --setup --now "2026-12-06 08:30" > /dev/null 2>&1
"$BUILD/src/cli/sorvantix-cli" --app-dir "$live" auto --live --now "2026-12-06 08:50" --speed 600 \
    --until 13:00 > /dev/null 2>&1
QT_QPA_PLATFORM=offscreen "$BUILD/src/app/sorvantix-screenshots" --app-dir "$live" --race "$main" \
    --now "2026-12-06 13:00" --live --out "$live/shots" > /dev/null 2>&1
cp "$live/shots/window-BoardWindow.png" docs/screenshots/live-board.png
cp "$live/shots/main-chart.png" docs/screenshots/live-chart.png
cp "$live/shots/main-live.png" docs/screenshots/live-main.png
rm -rf "$live"
echo "docs/screenshots/live-board.png docs/screenshots/live-chart.png docs/screenshots/live-main.png"
