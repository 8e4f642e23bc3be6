#!/usr/bin/env bash
# The whole protection run in copy mode, side by side with `cp -r` of the same tree and with a minimal
# read-escape-write pass (run_bench_tool minimal), on a generated site of 10,000 pages of about 10 KB in
# 100 folders and on a site ten times smaller. Each measurement is repeated (REPEATS, default 5), the three
# commands taking turns, and the median is reported: wall time, CPU time (user + system, steadier than wall
# time on a shared machine), pages/s and MB/s of input, the ratios, and the peak memory of the run.
#
# Usage: bench/run/whole_run.sh [BUILD_DIR] [WORK_DIR]
#   BUILD_DIR  a build with the targets quillora-cli and run_bench_tool (default build/release)
#   WORK_DIR   where the sites are made (default /dev/shm when it exists, else the temporary folder)
set -euo pipefail
cd "$(dirname "$0")/../.."

build=${1:-build/release}
default_work=${TMPDIR:-/tmp}
[[ -d /dev/shm && -w /dev/shm ]] && default_work=/dev/shm
work=$(mktemp -d "${2:-$default_work}/quillora-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
cli=$(realpath "$build/src/cli/quillora-cli")
tool=$(realpath "$build/bench/run_bench_tool")
repeats=${REPEATS:-5}

# Runs a command with the output folder fresh; prints "wall cpu peakKB".
measure() {
    local out=$1
    shift
    rm -rf "$out"
    "$tool" measure "$@"
}

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

bench_site() {
    local pages=$1 folders=$2
    local site="$work/site-$pages"
    "$tool" generate "$site" "$pages" "$folders"
    local megabytes
    megabytes=$(du -sk "$site" | awk '{ printf "%.1f", $1 / 1024 }')
    cat "$site"/*/*/*.htm >/dev/null # into the page cache, as for every later reader
    : >"$work/cp" && : >"$work/minimal" && : >"$work/quillora"
    for ((r = 0; r < repeats; r++)); do
        measure "$work/out-cp" cp -r "$site" "$work/out-cp" >>"$work/cp"
        measure "$work/out-minimal" "$tool" minimal "$site" "$work/out-minimal" >>"$work/minimal"
        measure "$work/out-quillora" "$cli" -q --copy-to "$work/out-quillora" "$site" >>"$work/quillora"
    done
    local count
    count=$(find "$work/out-quillora" -name '*.htm' | wc -l)
    [[ $count -eq $pages ]] || { echo "whole_run: $count pages written of $pages" >&2; exit 1; }
    local out_mb
    out_mb=$(du -sk "$work/out-quillora" | awk '{ printf "%.1f", $1 / 1024 }')

    echo "== $pages pages, $folders folders, $megabytes MB in, $out_mb MB out (median of $repeats runs)"
    printf "%-10s %8s %8s %10s %8s %10s %10s %9s\n" command wall_s cpu_s pages/s MB/s wall/cp cpu/cp peak_MB
    local cp_wall cp_cpu min_wall min_cpu
    cp_wall=$(cut -d' ' -f1 "$work/cp" | median)
    cp_cpu=$(cut -d' ' -f2 "$work/cp" | median)
    min_wall=$(cut -d' ' -f1 "$work/minimal" | median)
    min_cpu=$(cut -d' ' -f2 "$work/minimal" | median)
    for name in cp minimal quillora; do
        local wall cpu peak
        wall=$(cut -d' ' -f1 "$work/$name" | median)
        cpu=$(cut -d' ' -f2 "$work/$name" | median)
        peak=$(cut -d' ' -f3 "$work/$name" | median)
        awk -v n="$name" -v w="$wall" -v c="$cpu" -v p="$pages" -v mb="$megabytes" -v cw="$cp_wall" -v cc="$cp_cpu" \
            -v k="$peak" 'BEGIN { printf "%-10s %8.3f %8.3f %10.0f %8.1f %10.2f %10.2f %9.1f\n",
                                  n, w, c, p / w, mb / w, w / cw, c / cc, k / 1024 }'
    done
    local q_wall q_cpu
    q_wall=$(cut -d' ' -f1 "$work/quillora" | median)
    q_cpu=$(cut -d' ' -f2 "$work/quillora" | median)
    awk -v w="$q_wall" -v c="$q_cpu" -v mw="$min_wall" -v mc="$min_cpu" \
        'BEGIN { printf "quillora / minimal pass: wall %.2f, cpu %.2f\n", w / mw, c / mc }'
    rm -rf "$site" "$work"/out-*
}

echo "machine: $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg), work folder $(df -T "$work" | awk 'NR == 2 { print $2 }')"
bench_site 1000 10
bench_site 10000 100
