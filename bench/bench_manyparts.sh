#!/bin/bash
# Parser cost of messages made of many empty MIME parts, before and after a change, side by side:
# builds libqmc3 of BASE (a revision, default the parent of HEAD) from its exported sources and runs
# the same bench_manyparts binary against both libraries, each count in a fresh process.
#   bench/bench_manyparts.sh [BUILD_DIR] [BASE]
set -euo pipefail
build=$(realpath "${1:-build}")
base=${2:-HEAD~1}
root=$(git rev-parse --show-toplevel)
bench="$build/bench/bench_manyparts"
[ -x "$bench" ] || cmake --build "$build" -j2 --target bench_manyparts qmc3 >/dev/null

old=$(mktemp -d)
trap 'rm -rf "$old"' EXIT
mkdir "$old/src"
git -C "$root" archive "$base" | tar -x -C "$old/src"
cmake -S "$old/src" -B "$old/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$old/build" -j2 --target qmc3 >/dev/null

echo "before: $(git -C "$root" rev-parse --short "$base")    after: working tree of $build"
for parts in 1000 10000 50000 200000; do
    echo "before  $(LD_LIBRARY_PATH="$old/build/dist" "$bench" "$parts")"
    echo "after   $("$bench" "$parts")"
done
