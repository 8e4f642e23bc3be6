#!/usr/bin/env bash
# One large page in whole-page mode as a whole process (quillora-cli -q --beside --hide page), side by side with
# Node.js reading the same page, calling escape() on it and writing the result (bench/escape-file-node.js). The
# two commands take turns (REPEATS, default 5) and the medians are reported: wall and CPU time, the ratio, and
# peak memory against the page's input plus output bytes.
#
# Usage: bench/run/large_page.sh [BUILD_DIR] [MEGABYTES] [WORK_DIR]
#   BUILD_DIR  a build with the targets quillora-cli, large_page_tool and run_bench_tool (default build/release)
#   MEGABYTES  the page's size (default 64); 1024 makes the 1 GiB page (REPEATS=1 is then enough)
#   WORK_DIR   where the page is made (default /dev/shm when it exists, else the temporary folder)
set -euo pipefail
cd "$(dirname "$0")/../.."

build=${1:-build/release}
megabytes=${2:-64}
default_work=${TMPDIR:-/tmp}
[[ -d /dev/shm && -w /dev/shm ]] && default_work=/dev/shm
work=$(mktemp -d "${3:-$default_work}/quillora-large-XXXXXX")
trap 'rm -rf "$work"' EXIT
cli=$(realpath "$build/src/cli/quillora-cli")
tool=$(realpath "$build/bench/run_bench_tool")
repeats=${REPEATS:-5}
node_bin=$(command -v node || true)

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

page="$work/page.htm"
"$build/bench/large_page_tool" "$page" "$megabytes"
in_bytes=$(stat -c %s "$page")
: >"$work/quillora" && : >"$work/node"
for ((r = 0; r < repeats; r++)); do
    rm -f "$work/protected_page.htm"
    "$tool" measure "$cli" -q --beside --hide page "$page" >>"$work/quillora"
    if [[ -n $node_bin ]]; then
        rm -f "$work/node.htm"
        "$tool" measure "$node_bin" --max-old-space-size=16384 bench/escape-file-node.js "$page" "$work/node.htm" \
            >>"$work/node"
    fi
done
out_bytes=$(stat -c %s "$work/protected_page.htm")

echo "machine: $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg), work folder $(df -T "$work" | awk 'NR == 2 { print $2 }')"
awk -v i="$in_bytes" -v o="$out_bytes" -v r="$repeats" \
    'BEGIN { printf "== one page of %.1f MB in whole-page mode, %.1f MB out (median of %d runs)\n", i / 1048576, o / 1048576, r }'
printf "%-10s %8s %8s %9s %12s\n" command wall_s cpu_s peak_MB "peak/(in+out)"
for name in quillora node; do
    [[ -s $work/$name ]] || continue
    wall=$(cut -d' ' -f1 "$work/$name" | median)
    cpu=$(cut -d' ' -f2 "$work/$name" | median)
    peak=$(cut -d' ' -f3 "$work/$name" | median)
    awk -v n="$name" -v w="$wall" -v c="$cpu" -v k="$peak" -v i="$in_bytes" -v o="$out_bytes" \
        'BEGIN { printf "%-10s %8.3f %8.3f %9.1f %12.2f\n", n, w, c, k / 1024, k * 1024 / (i + o) }'
done
if [[ -s $work/node ]]; then
    paste -d' ' "$work/node" "$work/quillora" | awk '{ print $1 / $4 }' | median |
        awk '{ printf "node / quillora, wall, pair by pair: %.2f\n", $1 }'
fi
