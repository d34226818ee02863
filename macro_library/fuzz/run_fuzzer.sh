#!/usr/bin/env bash
# Runs one of the macro library's fuzzers for a number of seconds from its seed corpus.
#   run_fuzzer.sh <fuzzer binary> <seconds> <seed dir> [work corpus dir]
# New inputs go to the work corpus (a fresh temporary folder unless given), never to the seeds.
set -euo pipefail
fuzzer=$1 seconds=$2 seeds=$3
work=${4:-}
cleanup=""
if [ -z "$work" ]; then
    work=$(mktemp -d)
    cleanup=$work
fi
mkdir -p "$work"
status=0
"$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=1024 -print_final_stats=1 \
    -artifact_prefix="$work/" "$work" "$seeds" || status=$?
if [ "$status" -ne 0 ]; then
    echo "fuzzer failed; crashing input kept in $work" >&2
    exit "$status"
fi
[ -n "$cleanup" ] && rm -rf "$cleanup"
exit 0
