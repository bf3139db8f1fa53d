#!/bin/sh
# The whole-process benchmark (doc/benchmark.md): builds grix and the input generator in
# BUILD_DIR (a Release build), writes the inputs and times every output format, the
# completion of a partial map on and off the grid and the contour page, each against cp
# of the same bytes.
#
#   bench/run-bench.sh BUILD_DIR [--short] [--runs N] [--dir DIR]
set -eu
build=${1:?usage: bench/run-bench.sh BUILD_DIR [--short] [--runs N] [--dir DIR]}
shift
cmake --build "$build" --target grix make_bench_maps measure_run
exec python3 "$(dirname "$0")/whole_runs.py" "$build" "$@"
