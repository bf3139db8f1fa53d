#!/usr/bin/env python3
"""Times whole grix processes against cp of the same bytes (run by bench/run-bench.sh).

For each case the output is written once, then grix and `cp` of that output to another
file run in turn (grix, cp, grix, cp, ...), so that both meet the same load of the
machine; the medians are compared. Each run writes a file that does not exist yet. Each run is started and measured by measure_run
(its time; its peak resident memory and processor time from wait4). Prints a Markdown
table. On a shared machine the processor seconds move less than the wall-clock ones.

Usage: whole_runs.py BUILD_DIR [--short] [--runs N] [--dir DIR]
"""

import argparse
import os
import shutil
import statistics
import subprocess
import sys

MIB = 1024 * 1024

# Label, grix's options, the input's name, the output's extension.
CASES = [
    ("ASCII dump, 3 decimals", ["-ascii", "3"], "tri", ".txt"),
    ("WinGX map", ["-wingx"], "tri", ".map"),
    ("Marching Cube", ["-march"], "tri", ".fou"),
    ("XD grid", ["-xd"], "tri", ".grd"),
    ("CCP4 map", ["-ccp4"], "tri", ".ccp4"),
    ("CCP4 -full", ["-ccp4", "-full"], "tri", ".ccp4"),
    ("Gaussian cube", ["-cube"], "tri", ".cube"),
    ("XSF", ["-xsf"], "tri", ".xsf"),
    ("completion on the grid (CCP4 -full)", ["-ccp4", "-full"], "ongrid", ".ccp4"),
    ("completion off the grid (CCP4 -full)", ["-ccp4", "-full"], "offgrid", ".ccp4"),
    ("completion on the grid, cubic (CCP4 -full)", ["-ccp4", "-full"], "cubiceven", ".ccp4"),
    ("completion off the grid, cubic (CCP4 -full)", ["-ccp4", "-full"], "cubicodd", ".ccp4"),
    ("contour page", ["-html"], "page", ".html"),
]


def run(measure_run, command, cwd):
    """Seconds, peak resident MiB and processor seconds of one run; exits on failure."""
    result = subprocess.run([measure_run] + command, cwd=cwd, capture_output=True, text=True)
    if result.returncode != 0:
        sys.exit("%s: %s" % (" ".join(command), result.stderr.strip()))
    seconds, kib, cpu = result.stdout.split()
    return float(seconds), int(kib) / 1024, float(cpu)


def measure(tools, case, work, runs):
    label, options, stem, extension = case
    output = os.path.join(work, stem + extension)
    copy = os.path.join(work, "copy" + extension)
    grix, measure_run = tools
    command = [grix] + options + [stem]
    run(measure_run, command, work)  # warms the page cache
    grix_runs, cp_runs = [], []
    for _ in range(runs):
        # Both write a new file: replacing one costs the same extra for both (on ext4 the
        # file system flushes the new file's blocks before it lets it replace another).
        for path in (output, copy):
            if os.path.exists(path):
                os.remove(path)
        grix_runs.append(run(measure_run, command, work))
        cp_runs.append(run(measure_run, ["cp", output, copy], work))
    size = os.path.getsize(output)
    for path in (output, copy):
        os.remove(path)
    seconds = [run[0] for run in grix_runs]
    cp_seconds = statistics.median(run[0] for run in cp_runs)
    map_mib = os.path.getsize(os.path.join(work, stem + ".fclc")) / MIB
    peak = max(run[1] for run in grix_runs)
    return {
        "label": label, "mb": size / 1e6, "grix": statistics.median(seconds),
        "low": min(seconds), "high": max(seconds), "cp": cp_seconds,
        "ratio": statistics.median(seconds) / cp_seconds,
        "cpu": statistics.median(run[2] for run in grix_runs), "peak": peak, "map": map_mib,
        "over": peak - map_mib,
    }


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("build")
    parser.add_argument("--short", action="store_true",
                        help="a 64^3 map, 400 x 400 page sections, 3 runs each")
    parser.add_argument("--runs", type=int, help="runs of grix and of cp per case (9)")
    parser.add_argument("--dir", help="where the inputs and outputs go (BUILD/bench-work)")
    args = parser.parse_args()
    build = os.path.abspath(args.build)
    n, page, runs = (64, 400, 3) if args.short else (256, 2000, 9)
    runs = args.runs or runs
    work = os.path.abspath(args.dir or os.path.join(build, "bench-work"))
    os.makedirs(work, exist_ok=True)
    subprocess.run([os.path.join(build, "bench", "make_bench_maps"), work, str(n), str(page)],
                   check=True)
    tools = (os.path.join(build, "grix"), os.path.join(build, "bench", "measure_run"))

    print("map %d^3 (contour page: 3 sections of %d x %d), %d runs each, %d cores, "
          "load average %.2f at the start" % (n, page, page, runs, os.cpu_count(),
                                              os.getloadavg()[0]))
    print()
    print("| case | output MB | grix s (median) | grix s (min - max) | cp s (median) "
          "| grix / cp | grix CPU s | peak RSS MiB | map MiB | RSS over the map MiB |")
    print("|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|")
    results = {}
    for case in CASES:
        r = measure(tools, case, work, runs)
        results[case[2] + " ".join(case[1])] = r
        print("| %s | %.1f | %.3f | %.3f - %.3f | %.3f | %.1f | %.3f | %.1f | %.1f | %.1f |" % (
            r["label"], r["mb"], r["grix"], r["low"], r["high"], r["cp"], r["ratio"],
            r["cpu"], r["peak"], r["map"], r["over"]), flush=True)
    print()
    for on, off in (("ongrid", "offgrid"), ("cubiceven", "cubicodd")):
        on, off = results[on + "-ccp4 -full"], results[off + "-ccp4 -full"]
        print("%s / %s: %.2f (processor time %.2f)" % (
            off["label"], on["label"], off["grix"] / on["grix"], off["cpu"] / on["cpu"]))
    print("load average %.2f at the end" % os.getloadavg()[0])
    if not args.dir:
        shutil.rmtree(work)


if __name__ == "__main__":
    main()
