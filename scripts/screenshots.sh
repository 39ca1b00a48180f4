#!/usr/bin/env bash
# The README's screenshots: the demo race day (make demo without a display), then the
# main window at 1280 x 800 on the 分析表, 参考買い目, PA比 and PA比ｸﾞﾗﾌ tabs of the
# day's last 11th race, copied to docs/screenshots/.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD:-build}
DISPLAY= WAYLAND_DISPLAY= BUILD="$BUILD" scripts/demo.sh > /dev/null
mkdir -p docs/screenshots
for tab in analysis bets pa chart; do
    cp "demo/screenshots/main-$tab.png" "docs/screenshots/main-$tab.png"
    echo "docs/screenshots/main-$tab.png"
done
