#!/usr/bin/env bash
# The default run (overwrite, with backups) on a real disk, side by side with the same run writing beside the pages
# (--beside, which replaces nothing and so flushes nothing) and with `cp -r` plus `sync` of the same site: a site of
# 1,000 pages of about 10 KB in 10 folders (PAGES and FOLDERS to change it). Before each measured command the site is
# made afresh as a copy of a master (not hard links of it: a page with a second name gets its backup copied, where
# a page with one name has its own file renamed into the backup), and the page cache is
# flushed, so that each command starts from the same disk. Each measurement is repeated (REPEATS, default 5), the
# commands taking turns; the medians are reported: wall time, CPU time, pages/s, the ratios to --beside and to cp.
#
# Usage: bench/run/disk_run.sh [BUILD_DIR] [WORK_DIR]
#   BUILD_DIR  a build with the targets quillora-cli and run_bench_tool (default build/release)
#   WORK_DIR   where the sites are made, on the disk to measure (default: a folder below the build directory)
set -euo pipefail
cd "$(dirname "$0")/../.."

build=${1:-build/release}
work=$(mktemp -d "${2:-$build}/quillora-disk-XXXXXX")
trap 'rm -rf "$work"' EXIT
cli=$(realpath "$build/src/cli/quillora-cli")
tool=$(realpath "$build/bench/run_bench_tool")
repeats=${REPEATS:-5}
pages=${PAGES:-1000}
folders=${FOLDERS:-10}

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

fresh() {
    rm -rf "$work/site" "$work/copy"
    cp -r "$work/master" "$work/site"
    sync
}

"$tool" generate "$work/master" "$pages" "$folders"
: >"$work/default" && : >"$work/beside" && : >"$work/cp"
for ((r = 0; r < repeats; r++)); do
    fresh
    "$tool" measure "$cli" -q "$work/site" >>"$work/default"
    fresh
    "$tool" measure "$cli" -q --beside "$work/site" >>"$work/beside"
    fresh
    "$tool" measure sh -c "cp -r '$work/site' '$work/copy' && sync" >>"$work/cp"
done
# The default run really made a backup of every page.
fresh
"$cli" -q "$work/site" >/dev/null
backups=$(find "$work/site" -name '*.htm.bak' | wc -l)
[[ $backups -eq $pages ]] || { echo "disk_run: $backups backups made of $pages pages" >&2; exit 1; }

echo "machine: $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg), work folder $(df -T "$work" | awk 'NR == 2 { print $2 }')"
echo "== $pages pages in $folders folders (median of $repeats runs)"
printf "%-14s %8s %8s %10s %10s %8s\n" command wall_s cpu_s pages/s wall/beside wall/cp
beside_wall=$(cut -d' ' -f1 "$work/beside" | median)
cp_wall=$(cut -d' ' -f1 "$work/cp" | median)
for name in default beside cp; do
    wall=$(cut -d' ' -f1 "$work/$name" | median)
    cpu=$(cut -d' ' -f2 "$work/$name" | median)
    awk -v n="$name" -v w="$wall" -v c="$cpu" -v p="$pages" -v b="$beside_wall" -v k="$cp_wall" \
        'BEGIN { printf "%-14s %8.3f %8.3f %10.0f %10.2f %8.2f\n", n, w, c, p / w, w / b, w / k }'
done
