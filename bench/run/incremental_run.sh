#!/usr/bin/env bash
# An incremental copy: a site of 10,000 pages of about 10 KB in 100 folders (plus one style sheet per folder),
# described by a quillora.toml that copies it into a target. Measured, as whole processes: the full run into an
# empty target, the run again with nothing changed, and the run again after one page changed (a new page each
# time, its bytes and time both new). The goal: the one-page run within a tenth of the full run. Each measurement
# is repeated (REPEATS, default 5), taking turns, and the median reported: wall time, CPU time and the ratios.
# ENCRYPT=1 encrypts the pages too (one site key for every run, so that visitors stay unlocked).
#
# Usage: bench/run/incremental_run.sh [BUILD_DIR] [WORK_DIR]
#   BUILD_DIR  a build with the targets quillora-cli and run_bench_tool (default build/release)
#   WORK_DIR   where the site is made (default /dev/shm when it exists, else the temporary folder)
set -euo pipefail
cd "$(dirname "$0")/../.."

build=${1:-build/release}
default_work=${TMPDIR:-/tmp}
[[ -d /dev/shm && -w /dev/shm ]] && default_work=/dev/shm
work=$(mktemp -d "${2:-$default_work}/quillora-incremental-XXXXXX")
trap 'rm -rf "$work"' EXIT
cli=$(realpath "$build/src/cli/quillora-cli")
tool=$(realpath "$build/bench/run_bench_tool")
repeats=${REPEATS:-5}
pages=${PAGES:-10000}

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

site="$work/site"
"$tool" generate "$site" "$pages" 100
for folder in "$site"/*/*/; do printf 'body{}\n' >"$folder/style.css"; done
printf '[output]\nmode = "copy"\ntarget = "../out"\n' >"$site/quillora.toml"
if [[ ${ENCRYPT:-0} == 1 ]]; then
    printf '\n[pages]\nencrypt = true\n' >>"$site/quillora.toml"
    export QUILLORA_PASSWORD="a password for the benchmark words"
fi
cat "$site"/*/*/*.htm >/dev/null # into the page cache, as for every later reader
mapfile -t all < <(find "$site" -name '*.htm' | sort)

: >"$work/full" && : >"$work/none" && : >"$work/one"
for ((r = 0; r < repeats; r++)); do
    rm -rf "$work/out"
    "$tool" measure "$cli" -q "$site" >>"$work/full"
    "$tool" measure "$cli" -q "$site" >>"$work/none"
    changed=${all[$((r * 997 % ${#all[@]}))]}
    printf '<p>changed in round %d</p>\n' "$r" >>"$changed"
    "$tool" measure "$cli" -q "$site" >>"$work/one"
done
# A dry run derives no key, so it cannot tell encrypted pages that are up to date: checked without encryption only.
if [[ ${ENCRYPT:-0} != 1 ]]; then
    written=$("$cli" -q --dry-run "$site" | grep -c '^would protect' || true)
    [[ $written -eq 0 ]] || { echo "incremental_run: $written pages still to write after the runs" >&2; exit 1; }
fi

echo "machine: $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg), work folder $(df -T "$work" | awk 'NR == 2 { print $2 }')"
echo "== $pages pages in 100 folders, copy mode with a project file$([[ ${ENCRYPT:-0} == 1 ]] && echo ", encrypted") (median of $repeats runs)"
printf "%-22s %8s %8s %10s %10s\n" run wall_s cpu_s wall/full cpu/full
full_wall=$(cut -d' ' -f1 "$work/full" | median)
full_cpu=$(cut -d' ' -f2 "$work/full" | median)
for name in full none one; do
    wall=$(cut -d' ' -f1 "$work/$name" | median)
    cpu=$(cut -d' ' -f2 "$work/$name" | median)
    label=$name
    [[ $name == full ]] && label="full (empty target)"
    [[ $name == none ]] && label="again, nothing changed"
    [[ $name == one ]] && label="again, one page changed"
    awk -v n="$label" -v w="$wall" -v c="$cpu" -v fw="$full_wall" -v fc="$full_cpu" \
        'BEGIN { printf "%-22s %8.3f %8.3f %10.3f %10.3f\n", n, w, c, w / fw, c / fc }'
done
