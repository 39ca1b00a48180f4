#!/usr/bin/env bash
# The README's screenshots: the demo race day (make demo without a display), then the
# main window at 1280 x 800 on the 分析表, 参考買い目, PA比 and PA比ｸﾞﾗﾌ tabs of the
# day's last 11th race, each window the main window opens, and the race's printed page
# as PDF with a PNG of it (pdftoppm, from poppler-utils), into docs/screenshots/.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD:-build}
DISPLAY= WAYLAND_DISPLAY= BUILD="$BUILD" scripts/demo.sh > /dev/null
mkdir -p docs/screenshots
for tab in analysis bets pa chart; do
    cp "demo/screenshots/main-$tab.png" "docs/screenshots/main-$tab.png"
    echo "docs/screenshots/main-$tab.png"
done
for window in TGetDataForm TOddsSchejForm TSuishoSetForm TSuishoListForm TPrintPreviewForm; do
    cp "demo/screenshots/window-$window.png" "docs/screenshots/window-$window.png"
    echo "docs/screenshots/window-$window.png"
done
command -v pdftoppm > /dev/null || { echo "pdftoppm is missing: apt-get install poppler-utils"; exit 1; }
cp demo/screenshots/race.pdf docs/screenshots/race.pdf
pdftoppm -png -r 60 -singlefile docs/screenshots/race.pdf docs/screenshots/race-page
echo "docs/screenshots/race.pdf docs/screenshots/race-page.png"
