#!/usr/bin/env python3
"""Reads CCP4 maps written by grix back with gemmi, an independent CCP4 map reader.

For each section direction (msect 1, 2, 3) a small GSAS Fourier map and its experiment
file are written, converted with `grix -ccp4`, and the result is opened with gemmi: the
cell, the axis order, the grid size and start, and the density at every grid point of
the map (found through gemmi's own axis handling) must be those of the source map.

Usage: ccp4_gemmi_check.py GRIX_BINARY. Exits 77 (skipped) when gemmi is not importable.
"""

import math
import os
import struct
import subprocess
import sys
import tempfile

SKIPPED = 77

try:
    import gemmi
except ImportError:
    print("gemmi is not importable (Debian: apt-get install python3-gemmi); skipped")
    sys.exit(SKIPPED)

CELL = (5.0, 6.0, 7.0, 80.0, 95.0, 110.0)
# Slot 0 across, 1 down, 2 section; every slot differs, so a swapped axis shows.
NXYZI = (8, 10, 12)
NXYZO = (-2, 3, 5)
NXYZT = (5, 4, 3)
# Crystal axis (1 = X, 2 = Y, 3 = Z) of the across, down and section directions.
AXES = {1: (2, 3, 1), 2: (3, 1, 2), 3: (1, 2, 3)}
RECORD_SIZE = 512


def density(i, j, k):
    """A value that says where it came from, exact in single precision."""
    return 100.0 * k + 10.0 * j + i + 0.25


def map_file(msect):
    """The GSAS Fourier map file: two fixed-length records, then the sections."""
    nrho = NXYZT[0] * NXYZT[1]
    values = [density(i, j, k) for k in range(NXYZT[2]) for j in range(NXYZT[1])
              for i in range(NXYZT[0])]
    first = (b"gemmi phase".ljust(66) + b"gemmi check map".ljust(66) + b"FCLC"
             + struct.pack("<7f", *CELL, 0.0))
    second = struct.pack("<11i3f", *NXYZI, *NXYZO, *NXYZT, msect, nrho,
                         max(values), min(values), 0.5)
    data = first.ljust(RECORD_SIZE, b"\0") + second.ljust(RECORD_SIZE, b"\0")
    for k in range(NXYZT[2]):
        data += struct.pack("<%df" % nrho, *values[k * nrho:(k + 1) * nrho])
        data += struct.pack("<2I", 0, k)
    return data


def experiment_file():
    """One phase in 80-column records: name, atom count, edges, angles, one atom."""
    records = [
        "CRS1    PNAM  gemmi_phase",
        "%-14s%d" % ("CRS1  NATOM", 1),
        "%-12s%10.4f%10.4f%10.4f   N" % ("CRS1  ABC", *CELL[:3]),
        "%-12s%10.4f%10.4f%10.4f" % ("CRS1  ANGLES", *CELL[3:]),
        "%-14s%-8s%10.6f%10.6f%10.6f%10.6f%-11s" % ("CRS1  AT  1A", "SI", 0.1, 0.2, 0.3,
                                                    1.0, "Si1"),
        "CRS1  AT  1B",
    ]
    return "".join(record.ljust(80) + "\n" for record in records).encode()


def check_map(path, msect, failures):
    def expect(what, got, wanted):
        if got != wanted:
            failures.append("msect %d: %s is %r, expected %r" % (msect, what, got, wanted))

    ccp4 = gemmi.read_ccp4_map(path)
    axes = AXES[msect]
    expect("grid size (columns, rows, sections)",
           [ccp4.header_i32(n) for n in (1, 2, 3)], list(NXYZT))
    expect("grid start", [ccp4.header_i32(n) for n in (5, 6, 7)], list(NXYZO))
    expect("axis order", [ccp4.header_i32(n) for n in (17, 18, 19)], list(axes))

    ccp4.setup(float("nan"))
    grid = ccp4.grid
    cell = grid.unit_cell
    got_cell = (cell.a, cell.b, cell.c, cell.alpha, cell.beta, cell.gamma)
    if any(abs(got - wanted) > 1e-5 for got, wanted in zip(got_cell, CELL)):
        failures.append("msect %d: cell is %r, expected %r" % (msect, got_cell, CELL))

    intervals = [0, 0, 0]
    for slot in range(3):
        intervals[axes[slot] - 1] = NXYZI[slot]
    expect("intervals along X, Y, Z", [grid.nu, grid.nv, grid.nw], intervals)

    for k in range(NXYZT[2]):
        for j in range(NXYZT[1]):
            for i in range(NXYZT[0]):
                xyz = [0, 0, 0]
                for slot, index in enumerate((i, j, k)):
                    xyz[axes[slot] - 1] = index + NXYZO[slot]
                expect("value at X, Y, Z = %r" % xyz, grid.get_value(*xyz), density(i, j, k))

    # One step beyond the map's last point in every direction lies outside it.
    outside = [0, 0, 0]
    for slot in range(3):
        outside[axes[slot] - 1] = NXYZO[slot] + NXYZT[slot]
    if not math.isnan(grid.get_value(*outside)):
        failures.append("msect %d: a point outside the map holds a value" % msect)


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: ccp4_gemmi_check.py GRIX_BINARY")
    grix = os.path.abspath(sys.argv[1])
    failed = 0
    with tempfile.TemporaryDirectory() as work:
        for msect in (1, 2, 3):
            with open(os.path.join(work, "run.fclc"), "wb") as out:
                out.write(map_file(msect))
            with open(os.path.join(work, "run.exp"), "wb") as out:
                out.write(experiment_file())
            result = subprocess.run([grix, "-ccp4", "run"], cwd=work, capture_output=True,
                                    text=True)
            failures = []
            if result.returncode != 0 or result.stdout or result.stderr:
                failures.append("msect %d: grix ended %d, printing %r %r" % (
                    msect, result.returncode, result.stdout, result.stderr))
            else:
                check_map(os.path.join(work, "run.ccp4"), msect, failures)
            for failure in failures:
                print(failure)
            failed += bool(failures)
    print("%d passed, %d failed" % (3 - failed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
