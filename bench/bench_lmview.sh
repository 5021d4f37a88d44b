#!/bin/sh
# Opening a message with a 50 MB attachment in the message window until it is painted, against the
# same process opening a one-line message (the memory baseline), alternating, in fresh processes.
#   bench/bench_lmview.sh BUILD_DIR [ROUNDS]
set -eu
build=${1:-build}
rounds=${2:-3}
big=$(mktemp -d)/big.eml
"$build/bench/make_corpus" --big "$big" 50
for round in $(seq 1 "$rounds"); do
    echo "round $round"
    printf '  big:   '; "$build/bench/bench_lmview" --open "$big"
    printf '  empty: '; "$build/bench/bench_lmview" --empty
done
"$build/bench/bench_lmview" --colour 5
rm -rf "$(dirname "$big")"
