#!/usr/bin/env bash
# What encryption adds to a whole run: a generated site of 10,000 pages of about 10 KB is copied by quillora-cli
# (--copy-to), once plain and once with --encrypt, in turns (REPEATS, default 5), and the medians are reported. The one key derivation of an
# encrypted run is measured apart (the same command over an empty folder, against --plain over it) and taken
# off; the ratio is then encrypted / plain. Also: the bytes written, and the unlock time's share of the pages.
#
# Usage: bench/run/encrypted_run.sh [BUILD_DIR] [WORK_DIR]
#   BUILD_DIR  a build with the targets quillora-cli and run_bench_tool (default build/release)
#   WORK_DIR   where the site is made (default /dev/shm when it exists, else the temporary folder)
set -euo pipefail
cd "$(dirname "$0")/../.."

build=${1:-build/release}
default_work=${TMPDIR:-/tmp}
[[ -d /dev/shm && -w /dev/shm ]] && default_work=/dev/shm
work=$(mktemp -d "${2:-$default_work}/quillora-encrypted-XXXXXX")
trap 'rm -rf "$work"' EXIT
cli=$(realpath "$build/src/cli/quillora-cli")
tool=$(realpath "$build/bench/run_bench_tool")
repeats=${REPEATS:-5}
export QUILLORA_PASSWORD="a password for the benchmark"

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
measure() { # OUT COMMAND...: the output folder fresh; prints "wall cpu peakKB"
    local out=$1
    shift
    rm -rf "$out"
    "$tool" measure "$@"
}

"$tool" generate "$work/site" 10000 100
mkdir "$work/empty"
cat "$work"/site/*/*/*.htm >/dev/null
for name in plain encrypted plain-empty encrypted-empty; do : >"$work/$name"; done
for ((r = 0; r < repeats; r++)); do
    measure "$work/out-plain" "$cli" -q --copy-to "$work/out-plain" "$work/site" >>"$work/plain"
    measure "$work/out-enc" "$cli" -q --encrypt --copy-to "$work/out-enc" "$work/site" >>"$work/encrypted"
    measure "$work/out-e1" "$cli" -q --copy-to "$work/out-e1" "$work/empty" >>"$work/plain-empty"
    measure "$work/out-e2" "$cli" -q --encrypt --copy-to "$work/out-e2" "$work/empty" >>"$work/encrypted-empty"
done
count=$(find "$work/out-enc" -name '*.htm' | wc -l)
[[ $count -eq 10000 ]] || { echo "encrypted_run: $count pages written of 10000" >&2; exit 1; }

col() { cut -d' ' -f"$2" "$work/$1" | median; }
plain_mb=$(du -sk "$work/out-plain" | awk '{ printf "%.1f", $1 / 1024 }')
enc_mb=$(du -sk "$work/out-enc" | awk '{ printf "%.1f", $1 / 1024 }')
echo "machine: $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
echo "== 10,000 pages (median of $repeats runs): plain $plain_mb MB written, encrypted $enc_mb MB"
printf "%-16s %8s %8s %9s\n" run wall_s cpu_s peak_MB
for name in plain encrypted plain-empty encrypted-empty; do
    awk -v n="$name" -v w="$(col "$name" 1)" -v c="$(col "$name" 2)" -v k="$(col "$name" 3)" \
        'BEGIN { printf "%-16s %8.3f %8.3f %9.1f\n", n, w, c, k / 1024 }'
done
awk -v pw="$(col plain 1)" -v pc="$(col plain 2)" -v ew="$(col encrypted 1)" -v ec="$(col encrypted 2)" \
    -v dw="$(col encrypted-empty 1)" -v dc="$(col encrypted-empty 2)" \
    -v zw="$(col plain-empty 1)" -v zc="$(col plain-empty 2)" \
    'BEGIN { printf "key derivation: wall %.3f s, cpu %.3f s\n", dw - zw, dc - zc;
             printf "encrypted / plain, derivation aside: wall %.2f, cpu %.2f\n",
                    (ew - (dw - zw)) / pw, (ec - (dc - zc)) / pc }'
