#!/usr/bin/env python3
"""The Gaussian cube's and the XSF's Cartesian axes and atoms of an oblique cell, held to
gemmi's orthogonalisation (an independent one: a along X, b in the XY plane).

The triclinic map and experiment file of the CCP4 check, with the space group P -1, are
converted with `grix -cube` and `grix -xsf`; the cube's voxel vectors and the XSF's cell
and grid vectors must be gemmi's orthogonalised cell axes (over the grid counts in the
cube), and the atoms of both the orthogonalised images of the experiment file's atom.
Only the geometry is compared: not the comment lines, not the densities.

Usage: viewer_axes_gemmi_check.py GRIX_BINARY. Exits 77 (skipped) when gemmi is not
importable.
"""

import os
import subprocess
import sys
import tempfile

sys.dont_write_bytecode = True  # nothing written beside the sources
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from ccp4_gemmi_check import CELL, NXYZI, SKIPPED, map_file, experiment_file  # noqa: E402

try:
    import gemmi
except ImportError:
    print("gemmi is not importable (Debian: apt-get install python3-gemmi); skipped")
    sys.exit(SKIPPED)

BOHR = 0.529177210903  # Angstrom
SITES = [(0.1, 0.2, 0.3), (0.9, 0.8, 0.7)]  # the atom and its inverse inside the cell


def orthogonal(fractional):
    cell = gemmi.UnitCell(*CELL)
    position = cell.orthogonalize(gemmi.Fractional(*fractional))
    return [position.x, position.y, position.z]


AXES = [orthogonal(unit) for unit in ((1, 0, 0), (0, 1, 0), (0, 0, 1))]
ATOMS = sorted([14] + orthogonal(site) for site in SITES)


def numbers(line):
    return [float(word) for word in line.split()]


def compare(what, got, wanted, tolerance, failures):
    if len(got) != len(wanted) or any(
            abs(g - w) > tolerance for row_g, row_w in zip(got, wanted)
            for g, w in zip(row_g, row_w)):
        failures.append("%s: %r, expected %r" % (what, got, wanted))


def check_cube(text, failures):
    lines = text.splitlines()[2:]  # after the two comment lines
    count = int(abs(numbers(lines[0])[0]))
    compare("cube origin", [numbers(lines[0])[1:]], [[0, 0, 0]], 1e-6, failures)
    counts = [int(numbers(line)[0]) for line in lines[1:4]]
    if counts != list(NXYZI):
        failures.append("cube grid counts %r, expected %r" % (counts, list(NXYZI)))
    vectors = [[value * BOHR for value in numbers(line)[1:]] for line in lines[1:4]]
    compare("cube voxel vectors (Angstrom)", vectors,
            [[value / n for value in axis] for axis, n in zip(AXES, NXYZI)], 2e-6, failures)
    atoms = sorted([numbers(line)[0]] + [value * BOHR for value in numbers(line)[2:]]
                   for line in lines[4:4 + count])
    compare("cube atoms (Z, Angstrom)", atoms, ATOMS, 2e-6, failures)


def block_after(lines, key, size):
    at = next(n for n, line in enumerate(lines) if line.strip().startswith(key))
    return lines[at + 1:at + 1 + size]


def check_xsf(text, failures):
    lines = text.splitlines()
    compare("XSF PRIMVEC", [numbers(line) for line in block_after(lines, "PRIMVEC", 3)],
            AXES, 1e-6, failures)
    count = int(numbers(block_after(lines, "PRIMCOORD", 1)[0])[0])
    atoms = sorted(numbers(line) for line in block_after(lines, "PRIMCOORD", 1 + count)[1:])
    compare("XSF atoms (Z, Angstrom)", atoms, ATOMS, 1e-6, failures)
    grid = [numbers(line) for line in block_after(lines, "BEGIN_DATAGRID_3D", 5)]
    if [int(n) for n in grid[0]] != [n + 1 for n in NXYZI]:
        failures.append("XSF grid counts %r, expected %r" % (grid[0], [n + 1 for n in NXYZI]))
    compare("XSF grid origin and vectors", grid[1:], [[0, 0, 0]] + AXES, 1e-6, failures)


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: viewer_axes_gemmi_check.py GRIX_BINARY")
    grix = os.path.abspath(sys.argv[1])
    failures = []
    with tempfile.TemporaryDirectory() as work:
        with open(os.path.join(work, "run.fclc"), "wb") as out:
            out.write(map_file(3))
        with open(os.path.join(work, "run.exp"), "wb") as out:
            out.write(experiment_file() + b"CRS1  SG SYM  P -1".ljust(80) + b"\n")
        for option, check in (("-cube", check_cube), ("-xsf", check_xsf)):
            # The map covers part of the cell: the warning of unreached points is expected.
            result = subprocess.run([grix, option, "run"], cwd=work, capture_output=True,
                                    text=True)
            if result.returncode != 0:
                failures.append("grix %s ended %d: %r" % (option, result.returncode,
                                                           result.stderr))
                continue
            with open(os.path.join(work, "run" + option.replace("-", "."))) as output:
                check(output.read(), failures)
    for failure in failures:
        print(failure)
    print("failed" if failures else "passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
