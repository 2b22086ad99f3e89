#!/usr/bin/env bash
# What hostile images cost the running application: each reproducer of scripts/hostile-images,
# opened as a file (`snapkin FILE`), as a package (`snapkin FILE.snapkin`), from the watched
# screenshot folder and by snapkin-render, under an address-space limit of 1.5 GB; then, for
# comparison, two images within the budget opened as files and copied from the editor (which
# flattens them): a screenshot of three 4K displays side by side (11520 x 2160) and an image of
# exactly the budget (8192 x 4096, one colour, a small file).
#
#   bench/hostile-images.sh [BUILD_DIR]          (default: build)
#
# Runs under a private Xvfb with openbox (tests/support/run-with-xvfb). For each run it prints
# the route, the file, how it ended (refused: the application logged "too large"; editor: an
# editor window opened; crash), the seconds from start (or from the copy into the folder) to
# that end, and the peak resident memory (VmHWM) in MB.
set -u
cd "$(dirname "$0")/.."
build="$(cd "${1:-build}" && pwd)"
if [ -z "${DISPLAY:-}" ] || [ "${SNAPKIN_BENCH_XVFB:-}" != 1 ]; then
    SNAPKIN_BENCH_XVFB=1 exec tests/support/run-with-xvfb "$0" "$build"
fi
app="$build/snapkin"
work=$(mktemp -d)
trap 'kill $wm 2>/dev/null; rm -rf "$work"' EXIT
openbox >/dev/null 2>&1 &
wm=$!
sleep 1
scripts/hostile-images "$work/images" >/dev/null
python3 - "$work/images/screens-11520x2160.png" "$work/images/budget-8192x4096.png" <<'EOF'
import struct, sys, zlib, random
w, h = 11520, 2160
random.seed(1)
def chunk(k, d):
    b = k + d
    return struct.pack(">I", len(d)) + b + struct.pack(">I", zlib.crc32(b))
# A screenshot-like picture: bands of colour with noise, so it neither compresses to nothing
# nor takes long to write.
row_parts = []
for y in range(0, h, 90):
    row = bytearray(b"\0")
    for x in range(w):
        row += bytes(((x * 7 + y) & 255, (x // 40 * 31) & 255, random.randrange(256)))
    row_parts.append(bytes(row) * min(90, h - y))
data = zlib.compress(b"".join(row_parts), 1)
def png(path, w, h, data):
    open(path, "wb").write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0)) + chunk(b"IDAT", data) + chunk(b"IEND", b""))
png(sys.argv[1], w, h, data)
png(sys.argv[2], 8192, 4096, zlib.compress((b"\0" + b"\x30\x60\x90" * 8192) * 4096, 9))
EOF

# Starts the application with a fresh home; sets $pid, $home and $log.
start() {
    home="$work/home-$RANDOM"
    mkdir -p "$home/config/snapkin" "$home/runtime"
    chmod 700 "$home/runtime"
    [ -n "${settings:-}" ] && printf '%s\n' "$settings" >"$home/config/snapkin/settings.json"
    log="$home/log"
    (
        ulimit -v 1572864
        HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" \
            XDG_CACHE_HOME="$home/cache" XDG_RUNTIME_DIR="$home/runtime" \
            exec "$app" "$@" >"$log" 2>&1
    ) &
    pid=$!
}

now() { date +%s.%N; }

editors() { xdotool search --onlyvisible --name " × .* px" 2>/dev/null | wc -l; }

# Waits (30 s at most) for the refusal in the log or one more editor window than `before`;
# prints the outcome.
outcome() {
    local from=$1 before=$2 end="" how="none"
    for _ in $(seq 600); do
        if grep -q "too large" "$log" 2>/dev/null; then how=refused; break; fi
        if [ "$(editors)" -gt "$before" ]; then how=editor; break; fi
        if ! kill -0 "$pid" 2>/dev/null; then how=ended; break; fi
        sleep 0.05
    done
    end=$(now)
    # An editor goes on drawing after its window shows; then a copy flattens it.
    if [ "$how" = editor ]; then
        sleep 2
        xdotool search --onlyvisible --name " × .* px" windowactivate --sync key ctrl+c 2>/dev/null
        sleep 3
    fi
    local hwm
    hwm=$(awk '/VmHWM/ {printf "%.0f", $2 / 1024}' "/proc/$pid/status" 2>/dev/null)
    [ "$how" = ended ] && grep -qi "abort\|segmentation\|bad_alloc" "$log" && how=crash
    printf '%-9s %-28s %-8s %5.2f s %5s MB\n' "$route" "$name" "$how" \
        "$(awk -v a="$from" -v b="$end" 'BEGIN {print b - a}')" "${hwm:-?}"
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
}

printf '%-9s %-28s %-8s %7s %8s\n' route file outcome time peak
images=$(find "$work/images" -maxdepth 1 -type f | sort)
for file in $images; do
    name=$(basename "$file")
    settings=""
    route=file
    t=$(now)
    start "$file"
    outcome "$t" 0
    case "$name" in screens-* | budget-*) continue ;; esac
    route=package
    t=$(now)
    start "${file%.*}.snapkin"
    outcome "$t" 0
    route=render
    t=$(now)
    out=$( (ulimit -v 1572864; /usr/bin/time -f "%e %M" "$build/snapkin-render" \
        "${file%.*}.snapkin" "$work/out.png") 2>&1)
    printf '%-9s %-28s %-8s %5.2f s %5.0f MB  %s\n' "$route" "$name" \
        "$(echo "$out" | grep -q "too large" && echo refused || echo other)" \
        "$(echo "$out" | tail -1 | cut -d' ' -f1)" \
        "$(echo "$out" | tail -1 | awk '{print $2 / 1024}')" "$(echo "$out" | grep -m1 "snapkin-render:")"
done
for file in $images; do
    name=$(basename "$file")
    case "$name" in screens-* | budget-*) continue ;; esac
    route=watcher
    mkdir -p "$work/watched"
    rm -f "$work/watched"/*
    settings="{\"watchSystemScreenshots\": true, \"systemScreenshotsFolderBookmark\": \"$work/watched\", \"showInDock\": true}"
    start
    sleep 3
    before=$(editors)
    ext="${name##*.}"
    [ "$ext" = bmp ] && ext=png # the watcher takes screenshot extensions only
    t=$(now)
    cp "$file" "$work/watched/shot.$ext"
    outcome "$t" "$before"
done
