#!/usr/bin/env bash
# Builds the fuzz targets if needed (clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs one of them for the given number of seconds on one
# core, starting from its seed corpus.
#
#   fuzz/run-fuzz.sh map_reader|exp_reader|conversion SECONDS [libFuzzer options]
#
# New inputs the fuzzer finds go to BUILD/corpus/TARGET (the seeds in fuzz/corpus stay
# as they are), crashes, hangs and leaks to BUILD/artifacts/TARGET/. BUILD is build-fuzz
# in the project root, or $GRIX_FUZZ_BUILD. The exit status is libFuzzer's: 0 when the
# time ran out with nothing found.
set -euo pipefail

usage() { echo "usage: $0 map_reader|exp_reader|conversion SECONDS [libFuzzer options]" >&2; exit 2; }
[ $# -ge 2 ] || usage
target=$1
seconds=$2
shift 2
case $target in map_reader|exp_reader|conversion) ;; *) usage ;; esac
[[ $seconds =~ ^[0-9]+$ ]] || usage

root=$(cd "$(dirname "$0")/.." && pwd)
build=${GRIX_FUZZ_BUILD:-$root/build-fuzz}

cmake -S "$root" -B "$build" -DCMAKE_CXX_COMPILER="${GRIX_FUZZ_CXX:-clang++}" \
      -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGRIX_FUZZ=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j2 --target "fuzz_$target"

corpus=$build/corpus/$target
artifacts=$build/artifacts/$target
mkdir -p "$corpus" "$artifacts"

# Map files of a few records with some sections; experiment files of a few phases.
options=(-max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -max_len=16384
         -print_final_stats=1 -artifact_prefix="$artifacts/")
[ "$target" = map_reader ] || options+=(-dict="$root/fuzz/exp.dict")

# The targets' scratch directories, also those of runs that a crash ended.
export GRIX_FUZZ_SCRATCH=/tmp/grix-fuzz-run-$$
mkdir -p "$GRIX_FUZZ_SCRATCH"
trap 'rm -rf "$GRIX_FUZZ_SCRATCH"' EXIT

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}
"$build/fuzz_$target" "${options[@]}" "$@" "$corpus" "$root/fuzz/corpus/$target"
