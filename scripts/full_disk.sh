#!/usr/bin/env bash
# Runs every writer of sorvantix-cli on an application folder whose disk is full and
# checks that each fails with a message and a non-zero exit code, that no existing file
# changed, that no temporary file stays behind, and that the same command succeeds once
# there is room again.
#
#   scripts/full_disk.sh [--build DIR] [--shim] [--keep]
#
# The folder lives on a small tmpfs filled to the last block (needs the right to mount,
# as root); where mounting is refused, or with --shim, every write(2) to a file under
# the folder fails with ENOSPC through an LD_PRELOAD shim built here with cc. Prints
# PASS or FAIL.
set -u

root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build"
keep=0
shim=0
while [ $# -gt 0 ]; do
    case "$1" in
        --build) build=$2; shift 2 ;;
        --keep) keep=1; shift ;;
        --shim) shim=1; shift ;;
        -h|--help) sed -n '2,12p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) echo "unknown argument: $1" >&2; exit 2 ;;
    esac
done
case "$build" in /*) ;; *) build="$PWD/$build" ;; esac
cli="$build/src/cli/sorvantix-cli"
feedgen="$build/src/feed/sorvantix-feed"
for exe in "$cli" "$feedgen"; do
    [ -x "$exe" ] || { echo "missing $exe (build sorvantix-cli and sorvantix-feed)" >&2; exit 2; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/full-disk.XXXXXX")
disk="$work/disk"
mkdir -p "$disk"
mounted=0
cleanup() {
    [ "$mounted" = 1 ] && umount "$disk" 2>/dev/null
    [ "$keep" = 1 ] || rm -rf "$work"
}
trap cleanup EXIT

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

app="$disk/app"
day=20261206
"$feedgen" --out "$work/feed" --from 2026-12-05 --to 2026-12-06 --seed 7 >/dev/null ||
    { echo "FAIL: feed generator"; exit 1; }

preload=""
if [ "$shim" = 0 ] && mount -t tmpfs -o size=24m tmpfs "$disk" 2>/dev/null; then
    mounted=1
    mode="a 24 MB tmpfs filled to the last block"
else
    # No mount here: a shim fails every write to a regular file under the folder.
    cat >"$work/enospc.c" <<'EOF'
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

static int under_folder(int fd)
{
    const char* folder = getenv("ENOSPC_FOLDER");
    char link[64], path[PATH_MAX];
    struct stat st;
    if (!folder || fd < 3 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        return 0;
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    ssize_t n = readlink(link, path, sizeof path - 1);
    if (n <= 0)
        return 0;
    path[n] = '\0';
    return strncmp(path, folder, strlen(folder)) == 0;
}

ssize_t write(int fd, const void* buf, size_t count)
{
    static ssize_t (*real)(int, const void*, size_t);
    if (!real)
        real = (ssize_t(*)(int, const void*, size_t))dlsym(RTLD_NEXT, "write");
    if (count > 0 && under_folder(fd)) {
        errno = ENOSPC;
        return -1;
    }
    return real(fd, buf, count);
}
EOF
    cc -shared -fPIC -O2 -o "$work/enospc.so" "$work/enospc.c" -ldl ||
        { echo "FAIL: cannot build the write shim (and cannot mount a tmpfs)"; exit 1; }
    preload="$work/enospc.so"
    mode="an LD_PRELOAD shim failing every write under the folder"
fi
echo "full disk: $mode"

run() { "$cli" --app-dir "$app" "$@"; }

# A day with cards, two races' odds, results, a batch, a hit page and a parameter set.
run jvlink --feed "$work/feed" >/dev/null || { echo "FAIL: jvlink"; exit 1; }
run fetch-cards --setup >/dev/null 2>&1 || { echo "FAIL: fetch-cards"; exit 1; }
keys=$(run races "$day" --keys)
first=$(echo "$keys" | sed -n 1p)
second=$(echo "$keys" | sed -n 2p)
run fetch-odds "$first" >/dev/null 2>&1 || { echo "FAIL: fetch-odds"; exit 1; }
run fetch-odds "$second" >/dev/null 2>&1 || { echo "FAIL: fetch-odds"; exit 1; }
run fetch-results "$day" >/dev/null 2>&1 || { echo "FAIL: fetch-results"; exit 1; }
run batch "$day" >/dev/null 2>&1
run hits "$day" >/dev/null 2>&1
run params add 試験 0.6 1.0 1.0 0.8 1.04 1.04 2.0 3 0.7 1.3 5 1.6 2 1.3 1 2.0 >/dev/null 2>&1 ||
    { echo "FAIL: params add"; exit 1; }

# The recommended-horse files go again, so that the analyses below must write them.
rm -f "$app"/Suisho/*.sei

snapshot() { (cd "$app" && find . -type f ! -name 'ErrorLog.txt' -print0 | sort -z | xargs -0 sha1sum); }
snapshot >"$work/before.txt"
echo "$(wc -l <"$work/before.txt") files in the application folder"

if [ "$mounted" = 1 ]; then
    dd if=/dev/zero of="$disk/filler" bs=64k 2>/dev/null
    # The last partial blocks too.
    dd if=/dev/zero of="$disk/filler2" bs=1 2>/dev/null
    echo "disk: $(df -h "$disk" | tail -1 | awk '{print $4}') left"
fi

attempt() {
    local label=$1
    shift
    local rc
    if [ -n "$preload" ]; then
        ENOSPC_FOLDER="$app" LD_PRELOAD="$preload" "$cli" --app-dir "$app" "$@" \
            >"$work/out.txt" 2>"$work/err.txt"
    else
        "$cli" --app-dir "$app" "$@" >"$work/out.txt" 2>"$work/err.txt"
    fi
    rc=$?
    local message
    message=$(grep -a -h -m1 -E '書き込めません|置き換えられません|作成できません|保存に失敗' \
        "$work/err.txt" "$work/out.txt" | head -1)
    if [ "$rc" -eq 0 ] && grep -q -a '書き出しません' "$work/out.txt"; then
        echo "ok   $label: nothing to write ($(grep -a -m1 '書き出しません' "$work/out.txt"))"
    elif [ "$rc" -eq 0 ]; then
        fail "$label: exit code 0 on a full disk"
        sed 's/^/     /' "$work/out.txt" | head -5
    elif [ -z "$message" ]; then
        fail "$label: exit $rc without a message naming the failed write"
        sed 's/^/     /' "$work/err.txt" | head -5
    else
        echo "ok   $label: exit $rc, ${message:0:150}"
    fi
    if ! snapshot | diff -q - "$work/before.txt" >/dev/null; then
        fail "$label: a file changed: $(snapshot | diff - "$work/before.txt" | head -3)"
        snapshot >"$work/before.txt"
    fi
    local temps
    temps=$(find "$app" -name '.*.??????' -type f | wc -l)
    [ "$temps" -eq 0 ] || fail "$label: $temps temporary files left"
}

attempt "fetch-cards" fetch-cards --setup
attempt "fetch-odds" fetch-odds "$first"
attempt "fetch-odds --day" fetch-odds --day "$day" --races 2
attempt "fetch-results" fetch-results "$day"
attempt "analyse" analyse "$second"
attempt "batch" batch "$day"
attempt "hits" hits "$day"
attempt "params add" params add 二つ目 0.6 1.0 1.0 0.8 1.04 1.04 2.0 3 0.7 1.3 5 1.6 2 1.3 1 2.0
attempt "params select" params select 1
attempt "jvlink --feed" jvlink --feed "$work/feed"

# Room again: the same writes go through.
rm -f "$disk/filler" "$disk/filler2"
if [ -z "$preload" ]; then
    run fetch-odds "$first" >/dev/null 2>&1 || fail "fetch-odds after freeing the disk"
    run analyse "$second" >/dev/null 2>&1 || fail "analyse after freeing the disk"
else
    run fetch-odds "$first" >/dev/null 2>&1 || fail "fetch-odds without the shim"
fi

if [ "$failures" -eq 0 ]; then
    echo "PASS: every writer failed cleanly on $mode"
    exit 0
fi
echo "FAIL: $failures problems"
exit 1
