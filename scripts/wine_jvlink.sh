#!/usr/bin/env bash
# Prepares a Wine prefix for sorvantix-jvlink-bridge.exe; see --help.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
CLSID='{2AB1774D-0C41-11D7-916F-0003479BEB3F}'
PROGID='JVDTLab.JVLink'

usage() {
    cat <<'TEXT'
Usage: scripts/wine_jvlink.sh --prefix DIR [--register-fake FEED [--build DIR]]

Prepares a Wine prefix in which sorvantix-jvlink-bridge.exe (a 32-bit Windows
program) can host JV-Link, without a display.

  --prefix DIR          Create the prefix DIR (wineboot -i, no display) or check an
                        existing one: it must have the 32-bit side of Wine. Then print
                        the steps to install JV-Link into it.
  --register-fake FEED  Tests only: copy fake-jvlink.dll (the stand-in JV-Link) into
                        the prefix, point it at the feed folder FEED (the replay's
                        layout: RACE/, 0B41/, ..., faults.txt) and register it under
                        JV-Link's ProgID and CLSID. Replaces a real JV-Link's
                        registration in that prefix: use a prefix of its own.
  --build DIR           Where fake-jvlink.dll was built (default: build-bridge of
                        this source tree; `make bridge` builds it).
  -h, --help            This text.

This script never enters, stores or automates a JV-Link service key, and never
answers JV-Link's own windows: a person does that in JV-Link's settings dialog.
Wine's processes of the prefix are ended (wineserver -k) when it is done.
TEXT
}

die() {
    echo "wine_jvlink.sh: $*" >&2
    exit 1
}

PREFIX=""
FEED=""
BUILD_DIR="$ROOT/build-bridge"
while [ $# -gt 0 ]; do
    case "$1" in
    --prefix)
        [ $# -ge 2 ] || die "--prefix needs a folder"
        PREFIX="$2"
        shift 2
        ;;
    --register-fake)
        [ $# -ge 2 ] || die "--register-fake needs a feed folder"
        FEED="$2"
        shift 2
        ;;
    --build)
        [ $# -ge 2 ] || die "--build needs a folder"
        BUILD_DIR="$2"
        shift 2
        ;;
    -h | --help)
        usage
        exit 0
        ;;
    *)
        usage >&2
        die "unknown argument: $1"
        ;;
    esac
done
[ -n "$PREFIX" ] || {
    usage >&2
    die "--prefix DIR is required"
}

for tool in wine wineboot wineserver winepath; do
    command -v "$tool" >/dev/null ||
        die "$tool not found: install Wine with its 32-bit side (Debian: dpkg --add-architecture i386; apt-get install wine wine32:i386 wine64)"
done

# Wine wants an absolute prefix path.
PREFIX="$(realpath -m -- "$PREFIX")"

# No display for anything this script runs: with one, the 32-bit side of a new win64
# prefix has been found empty, and nothing here should open a window.
unset DISPLAY WAYLAND_DISPLAY
export WINEPREFIX="$PREFIX"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

STARTED_WINE=0
end_wine() {
    if [ "$STARTED_WINE" = 1 ]; then
        wineserver -k >/dev/null 2>&1 || true
    fi
}
trap end_wine EXIT

if [ -e "$PREFIX" ] && [ ! -d "$PREFIX" ]; then
    die "$PREFIX exists and is not a folder"
fi
if [ -d "$PREFIX" ] && [ "$(stat -c %u "$PREFIX")" != "$(id -u)" ]; then
    die "$PREFIX belongs to another user: Wine uses only prefixes of the user running it"
fi

if [ ! -f "$PREFIX/system.reg" ]; then
    echo "Creating the Wine prefix $PREFIX (takes some seconds) ..."
    mkdir -p "$PREFIX"
    STARTED_WINE=1
    wineboot -i >/dev/null 2>&1 || die "wineboot -i failed for $PREFIX"
    # Until wineserver ends, the registry may not be written out.
    wineserver -w || true
fi
[ -f "$PREFIX/system.reg" ] || die "$PREFIX is not a Wine prefix (no system.reg after wineboot)"

ARCH="$(sed -n 's/^#arch=//p' "$PREFIX/system.reg" | head -n 1)"
case "$ARCH" in
win32) SYS32="system32" ;;
win64 | "") SYS32="syswow64" ;;
*) die "$PREFIX: unknown prefix architecture '$ARCH'" ;;
esac
if [ ! -f "$PREFIX/drive_c/windows/$SYS32/kernel32.dll" ]; then
    die "$PREFIX has no 32-bit Wine ($PREFIX/drive_c/windows/$SYS32/kernel32.dll is missing).
JV-Link and the bridge are 32-bit. Install Wine's 32-bit side (Debian: wine32:i386), then
create the prefix again without a display (remove $PREFIX and run this script again)."
fi
echo "Wine prefix $PREFIX ($ARCH) has the 32-bit side: OK"

if [ -z "$FEED" ]; then
    cat <<TEXT

To install JV-Link into this prefix (a person does this, with a display):
  1. Download the JV-Link installer from the JRA-VAN DataLab member page.
  2. Run it in the prefix:
       WINEPREFIX=$PREFIX wine <the installer .exe>
     and accept its terms.
  3. Choose this prefix for Sorvantix:
       sorvantix-cli jvlink --wine-prefix $PREFIX
  4. Enter your service key in JV-Link's own settings dialog (with a display):
       sorvantix-cli jvlink --settings
     and answer or turn off any notice JV-Link shows there.
TEXT
    exit 0
fi

# --register-fake
[ -d "$FEED" ] || die "feed folder not found: $FEED"
FEED="$(realpath -- "$FEED")"
DLL="$BUILD_DIR/fake-jvlink.dll"
[ -f "$DLL" ] || die "$DLL not found: build it with 'make bridge'"

DEST="$PREFIX/drive_c/sorvantix-test"
mkdir -p "$DEST"
cp -f -- "$DLL" "$DEST/fake-jvlink.dll"
STARTED_WINE=1
FEED_WIN="$(winepath -w "$FEED" 2>/dev/null | tr -d '\r' | head -n 1)"
[ -n "$FEED_WIN" ] || die "winepath could not name $FEED for Windows"
printf '%s\r\n' "$FEED_WIN" >"$DEST/fake-jvlink-feed.txt"

# The 32-bit regsvr32: in a win64 prefix it writes the classes under Wow6432Node, where
# 32-bit callers look.
REGSVR="C:\\windows\\$SYS32\\regsvr32.exe"
REG="C:\\windows\\$SYS32\\reg.exe"
wine "$REGSVR" /s 'C:\sorvantix-test\fake-jvlink.dll' ||
    die "regsvr32 could not register C:\\sorvantix-test\\fake-jvlink.dll"

# Check what a 32-bit program sees.
server="$(wine "$REG" query "HKCR\\CLSID\\$CLSID\\InprocServer32" /ve 2>/dev/null | tr -d '\r' || true)"
case "$server" in
*'sorvantix-test\fake-jvlink.dll'*) ;;
*) die "after regsvr32, 32-bit programs do not see $CLSID\\InprocServer32 pointing to the fake:
$server" ;;
esac
progid="$(wine "$REG" query "HKCR\\$PROGID\\CLSID" /ve 2>/dev/null | tr -d '\r' || true)"
case "$progid" in
*"$CLSID"*) ;;
*) die "after regsvr32, 32-bit programs do not see $PROGID -> $CLSID:
$progid" ;;
esac
echo "Registered the stand-in JV-Link $DEST/fake-jvlink.dll as $PROGID for 32-bit programs."
echo "It serves the feed $FEED ($FEED_WIN)."
