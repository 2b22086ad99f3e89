#!/usr/bin/env bash
# Whole-process full-screen capture to PNG: snapkin-grab against scrot (time) and against
# `optipng -o2` of the same pixels (size), on realistic screens at 1080p and 4K.
#
#   bench/png-capture.sh BUILD [OTHER_GRAB]
#
# The screens are the desktop GrabbedScreenBench builds (a terminal, a text editor and a photo
# viewer): its 4K grab, its 1080p top-left quarter (terminal and editor) and a 1080p part with
# the photo viewer. Each is shown full-screen on a private Xvfb of its size and captured there.
# OTHER_GRAB, when given, is a second snapkin-grab (an older build) measured the same way.
# SNAPKIN_BENCH_PIN=0,1 (or 2-7) pins the timed programs to those processors; RUNS sets the runs
# per figure (default 15), after two warm-up runs, alternating between the two programs. Each
# figure is the median [min-max] of the whole process's wall time in ms. Needs scrot and optipng.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "$1")
other=${2:+$(realpath "$2")}
runs=${RUNS:-15}
pin=()
[ -n "${SNAPKIN_BENCH_PIN:-}" ] && pin=(taskset -c "$SNAPKIN_BENCH_PIN")
for tool in scrot optipng; do
    command -v "$tool" >/dev/null || { echo "png-capture: $tool is missing" >&2; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

SNAPKIN_BENCH_GRAB_DIR=$work SNAPKIN_XVFB_SCREEN=3840x2160x24 tests/support/run-with-xvfb \
    "$build/bench/GrabbedScreenBench" --benchmark_filter='BM_GrabbedPngEncoder/0' >/dev/null 2>&1
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg); cores: $(nproc); pin: ${SNAPKIN_BENCH_PIN:-none}"

measure() { # screen picture, size
    local picture=$1 size=$2
    export SNAPKIN_BENCH_WORK=$work SNAPKIN_BENCH_PICTURE=$picture SNAPKIN_BENCH_BUILD=$build \
        SNAPKIN_BENCH_OTHER=$other SNAPKIN_BENCH_RUNS=$runs SNAPKIN_BENCH_PINNING="${pin[*]:-}"
    SNAPKIN_XVFB_SCREEN=${size}x24 tests/support/run-with-xvfb bash -c '
        set -u
        "$SNAPKIN_BENCH_BUILD/bench/ShowPicture" "$SNAPKIN_BENCH_PICTURE" & shown=$!
        sleep 2
        name=$(basename "$SNAPKIN_BENCH_PICTURE" .png)
        # Wall time of one run of a command, in ms.
        wall() {
            local start end
            start=$(date +%s%N)
            $SNAPKIN_BENCH_PINNING "$@" >/dev/null 2>&1
            end=$(date +%s%N)
            echo $(((end - start) / 1000000))
        }
        # "median [min-max]" of the numbers on standard input.
        summary() {
            sort -n | awk "{ v[NR] = \$1 } END { printf \"%d [%d-%d]\", v[int((NR + 1) / 2)], v[1], v[NR] }"
        }
        report() { # label, grab program
            local out=$SNAPKIN_BENCH_WORK/$name-$1.png
            "$2" "$out"
            cp "$out" "$out.opt.png"
            optipng -quiet -o2 "$out.opt.png"
            local a b
            a=$(stat -c %s "$out"); b=$(stat -c %s "$out.opt.png")
            echo "$name $1: $a bytes, optipng -o2 $b bytes, ratio $(echo "scale=3; $a / $b" | bc)"
            local grab=() scrot=() i
            for ((i = 0; i < SNAPKIN_BENCH_RUNS + 2; ++i)); do
                local g s
                g=$(wall "$2" "$SNAPKIN_BENCH_WORK/timed.png")
                s=$(wall scrot -o "$SNAPKIN_BENCH_WORK/scrot.png")
                ((i < 2)) && continue
                grab+=("$g")
                scrot+=("$s")
            done
            local gm sm
            gm=$(printf "%s\n" "${grab[@]}" | summary)
            sm=$(printf "%s\n" "${scrot[@]}" | summary)
            echo "    $1 ${gm} ms, scrot ${sm} ms, ratio of medians $(echo "scale=2; ${gm%% *} / ${sm%% *}" | bc)"
        }
        report snapkin "$SNAPKIN_BENCH_BUILD/snapkin-grab"
        [ -n "$SNAPKIN_BENCH_OTHER" ] && report other "$SNAPKIN_BENCH_OTHER"
        scrot -o "$SNAPKIN_BENCH_WORK/scrot-size.png"
        echo "$name scrot: $(stat -c %s "$SNAPKIN_BENCH_WORK/scrot-size.png") bytes"
        kill $shown'
}
measure "$work/grabbed-1080p.png" 1920x1080
measure "$work/grabbed-1080p-viewer.png" 1920x1080
measure "$work/grabbed-4k.png" 3840x2160
