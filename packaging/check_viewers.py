#!/usr/bin/env python3
"""Opens the files grix writes for today's viewers in those viewers, headless.

The bundled alpha-quartz example is converted to a Gaussian cube, an XSF file, a CCP4
map of the map's region and one of the whole cell; small maps of every section direction
are converted to CCP4 maps. Then:
  - mrcfile's validator accepts every CCP4 map;
  - Jmol (JmolData, no display) reads the cube and XSF files with all atoms of the
    cell and draws an isosurface of each;
  - ASE reads every cube (its second comment line gives the loop order), with the
    map's grid and all atoms of the cell, and a value in e/bohr^3 that is the XSF
    file's e/A^3 at the same point times 0.148185;
  - the cube holds the map's grid over the experiment file's cell, and its density
    maxima lie within half a grid step of its atom sites;
  - the cube, the XSF file and the whole-cell CCP4 map (read by gemmi) hold the same
    density (the cube's per cubic bohr) and atoms;
  - PyMOL (no display) loads the XSF and CCP4 files as maps of the expected grid and
    extent. The cube is left out: PyMOL puts its last point on the far face of the
    cell, stretching a periodic grid by n / (n - 1), so it is not where the atoms are.
One line per check; any failure names its reason and makes the exit status 1.

Usage: check_viewers.py GRIX_BINARY JMOLDATA_JAR  (run by check-viewers.sh)
"""

import contextlib
import ctypes
import io
import os
import re
import struct
import subprocess
import sys
import tempfile

import ase.io.cube
import gemmi
import mrcfile
import numpy as np
import pymol2

HERE = os.path.dirname(os.path.abspath(__file__))
EXAMPLES = os.path.join(HERE, "..", "examples")
sys.path.insert(0, os.path.join(HERE, "..", "tests", "writers"))
# The GSAS map and experiment files of the CCP4 read-back test, one per section direction.
from ccp4_gemmi_check import AXES, RECORD_SIZE, experiment_file, map_file  # noqa: E402

LIBC = ctypes.CDLL(None)
BOHR = 0.529177210903  # Angstrom
BOHR_CUBED = 0.148185  # e/bohr^3 per e/A^3, to the six digits the cube writes
QUARTZ_ATOMS = 9       # alpha-quartz: 3 Si and 6 O per cell
PEAK_FRACTION = 0.25   # maxima below this fraction of the highest are not atoms


class CheckFailed(Exception):
    pass


def require(condition, reason):
    if not condition:
        raise CheckFailed(reason)


class Checks:
    def __init__(self):
        self.failed = 0

    def say(self, line):
        print(line, flush=True)

    def run(self, name, check, *args):
        """Runs `check`, which returns a description of what it found, or that and a
        value, and raises when it fails. Returns the value (the description when there
        is none), or None after a failure."""
        try:
            result = check(*args)
        except Exception as error:  # every failure is reported, whatever raised it
            reason = str(error) if isinstance(error, CheckFailed) else repr(error)
            self.say("FAIL  %s: %s" % (name, reason))
            self.failed += 1
            return None
        detail = result[0] if isinstance(result, tuple) else result
        self.say("ok    %s: %s" % (name, detail))
        return result[1] if isinstance(result, tuple) else result


# ---------------------------------------------------------------------------------------
# Conversions

def convert(grix, options, inputs, work, extension):
    """Runs grix in a directory of its own holding `inputs` (name -> bytes); returns the
    one file it added, which must end in `extension`."""
    directory = tempfile.mkdtemp(dir=work)
    for name, data in inputs.items():
        with open(os.path.join(directory, name), "wb") as out:
            out.write(data)
    result = subprocess.run([grix] + options, cwd=directory, capture_output=True,
                            text=True, timeout=60)
    added = sorted(set(os.listdir(directory)) - set(inputs))
    require(result.returncode == 0, "grix ended with status %d: %s" % (
        result.returncode, (result.stdout + result.stderr).strip()))
    require(len(added) == 1 and added[0].endswith(extension),
            "grix wrote %r, not one %s file" % (added, extension))
    path = os.path.join(directory, added[0])
    return "%s, %d bytes" % (added[0], os.path.getsize(path)), path


def quartz_inputs():
    inputs = {}
    for name in ("quartz.exp", "quartz.fclc"):
        with open(os.path.join(EXAMPLES, name), "rb") as source:
            inputs[name] = source.read()
    return inputs


def quartz_cell_edges():
    """The example's cell edges as columns (Angstrom), from its experiment file's records,
    with a along X, b in the XY plane: the orthogonalisation every writer uses."""
    words = {}
    with open(os.path.join(EXAMPLES, "quartz.exp")) as exp:
        for record in exp:
            if record[:14].strip() in ("CRS1  ABC", "CRS1  ANGLES"):
                words[record[:14].strip()] = [float(v) for v in record[14:44].split()]
    cell = gemmi.UnitCell(*words["CRS1  ABC"], *words["CRS1  ANGLES"])
    return np.array(cell.orth.mat.tolist())


def quartz_map_grid():
    """The example map's grid intervals along X, Y, Z (the whole-cell grid) and its
    highest density, from the map file's second record."""
    with open(os.path.join(EXAMPLES, "quartz.fclc"), "rb") as fclc:
        fclc.seek(RECORD_SIZE)
        words = struct.unpack("<11if", fclc.read(48))
    intervals = [0, 0, 0]
    for slot, axis in enumerate(AXES[words[9]]):
        intervals[axis - 1] = words[slot]
    return intervals, words[11]


# ---------------------------------------------------------------------------------------
# Readers of the text files, independent of grix

def read_cube(path):
    """Atoms (atomic number, Cartesian Angstrom), cell edges as columns (Angstrom),
    points and values (e/bohr^3, as written) indexed [x, y, z]."""
    with open(path) as cube:
        lines = cube.read().split("\n")
    fields = lines[2].split()
    count = int(fields[0])
    require(all(float(v) == 0 for v in fields[1:4]), "origin is not 0 0 0")
    points, edges = [], np.zeros((3, 3))
    for axis in range(3):
        fields = lines[3 + axis].split()
        points.append(int(fields[0]))
        edges[:, axis] = [float(v) * BOHR * points[-1] for v in fields[1:4]]
    atoms = []
    for line in lines[6:6 + count]:
        fields = line.split()
        atoms.append((int(fields[0]), np.array([float(v) * BOHR for v in fields[2:5]])))
    values = np.array(" ".join(lines[6 + count:]).split(), dtype=np.float64)
    require(values.size == np.prod(points), "%d values for %r points" % (values.size, points))
    return atoms, edges, points, values.reshape(points)


def read_xsf(path):
    """The same from an XSF file; its values keep the closing planes."""
    with open(path) as xsf:
        lines = [line.strip() for line in xsf if not line.startswith("#")]
    start = lines.index("PRIMVEC") + 1
    primvec = np.array([[float(v) for v in lines[start + n].split()] for n in range(3)]).T
    start = lines.index("PRIMCOORD") + 1
    count = int(lines[start].split()[0])
    atoms = [(int(line.split()[0]), np.array([float(v) for v in line.split()[1:4]]))
             for line in lines[start + 1:start + 1 + count]]
    start = next(n for n, line in enumerate(lines) if line.startswith("BEGIN_DATAGRID_3D"))
    points = [int(v) for v in lines[start + 1].split()]
    spanning = np.array([[float(v) for v in lines[start + 3 + n].split()] for n in range(3)]).T
    require(np.allclose(primvec, spanning, atol=1e-6), "grid does not span the cell")
    end = lines.index("END_DATAGRID_3D")
    values = np.array(" ".join(lines[start + 6:end]).split(), dtype=np.float64)
    require(values.size == np.prod(points), "%d values for %r points" % (values.size, points))
    return atoms, primvec, points, values.reshape(points[::-1]).transpose()


def describe(reader, path):
    atoms, _, points, values = found = reader(path)
    return "%d atoms, %s points, values %.4g to %.4g" % (
        len(atoms), "x".join(map(str, points)), values.min(), values.max()), found


# ---------------------------------------------------------------------------------------
# The checks

def check_mrcfile(path):
    report = io.StringIO()
    require(mrcfile.validate(path, print_file=report),
            " / ".join(line for line in report.getvalue().splitlines()[1:]))
    return "valid MRC2014"


def check_jmol(jar, path, cutoff):
    """Loads the file in JmolData, counts its atoms and draws an isosurface at `cutoff`;
    one run per file, as an error ends Jmol's script."""
    script = path + ".spt"
    with open(script, "w") as out:
        out.write('load "%s";\n' % path
                  + 'print "GRIXCHECK atoms " + {*}.count;\n'
                  + 'isosurface grix cutoff %r "%s";\n' % (cutoff, path)
                  + 'print "GRIXCHECK vertices " + '
                    'getProperty("shapeInfo.Isosurface[1].vertexCount");\n')
    result = subprocess.run(["java", "-Djava.awt.headless=true", "-jar", jar, "-n", "-o",
                             "-p", "-s", script], capture_output=True, text=True, timeout=120)
    counts = {what: int(number or 0) for what, number in
              re.findall(r"GRIXCHECK (atoms|vertices) (\d*)", result.stdout)}
    log = " | ".join((result.stdout + result.stderr).strip().splitlines())[:400]
    require(counts, "Jmol printed no counts: %s" % log)
    require(counts.get("atoms") == QUARTZ_ATOMS, "Jmol found %r atoms, expected %d"
            % (counts.get("atoms"), QUARTZ_ATOMS))
    require(counts.get("vertices", 0) > 0, "no isosurface vertices")
    return "%d atoms, isosurface of %d vertices" % (counts["atoms"], counts["vertices"])


def check_ase(cube_path, xsf, points, edges):
    """ASE's own cube reader: the grid, cell and atoms, and one value against the XSF
    file's at the same grid point, the highest."""
    with open(cube_path) as cube:
        data, atoms = ase.io.cube.read_cube_data(cube)
    require(list(data.shape) == list(points), "ASE grid %r, expected %r" % (
        data.shape, points))
    require(len(atoms) == QUARTZ_ATOMS, "ASE found %d atoms" % len(atoms))
    require(np.allclose(np.array(atoms.cell).T, edges, atol=1e-4), "ASE cell %r" % (
        np.array(atoms.cell).round(5).tolist(),))
    x_values = xsf[3]
    point = np.unravel_index(np.argmax(x_values[:-1, :-1, :-1]), data.shape)
    ratio = data[point] / x_values[point]
    require(abs(ratio - BOHR_CUBED) < 2e-6, "at %r ASE reads %g, the XSF file %g: ratio %.6f, "
            "not %.6f" % (point, data[point], x_values[point], ratio, BOHR_CUBED))
    return "%s points, %d atoms, %.6f times the XSF value at %r" % (
        "x".join(map(str, data.shape)), len(atoms), ratio, tuple(int(i) for i in point))


def local_maxima(values):
    """Grid points above all 26 periodic neighbours and PEAK_FRACTION of the highest."""
    peak = values > PEAK_FRACTION * values.max()
    for shift in np.ndindex(3, 3, 3):
        if shift != (1, 1, 1):
            peak &= values > np.roll(values, np.subtract(shift, 1), axis=(0, 1, 2))
    return np.argwhere(peak)


def refine(values, point):
    """Fractional position of a maximum: a parabola through it and its two neighbours
    along each axis."""
    position = []
    for axis, n in enumerate(values.shape):
        around = []
        for step in (-1, 0, 1):
            index = list(point)
            index[axis] = (index[axis] + step) % n
            around.append(values[tuple(index)])
        low, mid, high = around
        position.append((point[axis] + 0.5 * (low - high) / (low - 2 * mid + high)) / n)
    return np.array(position)


def check_grid_and_cell(cube, points, edges):
    require(cube[2] == points, "grid of %r points, the map's intervals are %r" % (
        cube[2], points))
    require(np.allclose(cube[1], edges, atol=1e-4), "cell edges %r, expected %r" % (
        cube[1].T.round(5).tolist(), edges.T.round(5).tolist()))
    return "the map's grid intervals, the experiment file's cell"


def check_maxima(cube):
    atoms, edges, points, values = cube
    sites = [np.linalg.solve(edges, cart) % 1.0 for _, cart in atoms]
    maxima = [refine(values, point) for point in local_maxima(values)]
    half_step = 0.5 / np.array(points)

    def near(a, b):
        return np.all(np.abs((a - b + 0.5) % 1.0 - 0.5) <= half_step)

    lonely = [m for m in maxima if not any(near(m, s) for s in sites)]
    require(not lonely, "maxima away from every atom at fractional %r" % lonely[:3])
    bare = [s for s in sites if not any(near(m, s) for m in maxima)]
    require(not bare, "atoms without a maximum within half a grid step at %r" % bare[:3])
    return "%d maxima, each within half a grid step of one of the %d atoms" % (
        len(maxima), len(sites))


def check_agreement(cube, xsf, full_ccp4):
    atoms, edges, points, values = cube
    x_atoms, x_edges, x_points, x_values = xsf
    require(x_points == [n + 1 for n in points], "XSF grid %r for cube grid %r"
            % (x_points, points))
    require(np.allclose(edges, x_edges, atol=1e-5), "cell edges differ")
    require(len(atoms) == len(x_atoms) and all(
        z == xz and np.allclose(p, xp, atol=1e-5) for (z, p), (xz, xp) in zip(atoms, x_atoms)),
        "atoms differ")
    values = values / BOHR**3  # e/A^3, as the XSF and CCP4 files hold them
    closed = np.pad(values, [(0, 1)] * 3, mode="wrap")
    tolerance = 1e-5 * np.abs(values).max()
    require(np.allclose(x_values, closed, rtol=1e-5, atol=tolerance),
            "XSF values differ from the cube's (closing planes included)")
    first, last, counts = ccp4_extent_corners(full_ccp4)
    require(np.all(first == 0) and np.allclose(last, 1 - 1 / np.array(counts)),
            "the whole-cell CCP4 map's %r points run from %r to %r of the cell, not over "
            "one cell" % (counts, first.tolist(), last.tolist()))
    ccp4 = gemmi.read_ccp4_map(full_ccp4)
    ccp4.setup(float("nan"))
    grid = np.array(ccp4.grid, copy=False)
    require(list(grid.shape) == list(points), "CCP4 grid %r for cube grid %r"
            % (grid.shape, points))
    require(np.allclose(grid, values, rtol=1e-5, atol=tolerance),
            "whole-cell CCP4 values differ from the cube's")
    return "same %d atoms, cell and %s values" % (len(atoms), "x".join(map(str, points)))


@contextlib.contextmanager
def output_to_log(log_path):
    """PyMOL's file plugins print to the C library's standard output and error."""
    sys.stdout.flush()
    sys.stderr.flush()
    saved = [os.dup(1), os.dup(2)]
    with open(log_path, "a") as log:
        os.dup2(log.fileno(), 1)
        os.dup2(log.fileno(), 2)
        try:
            yield
        finally:
            LIBC.fflush(None)
            for fd, copy in zip((1, 2), saved):
                os.dup2(copy, fd)
                os.close(copy)


def ccp4_extent_corners(path):
    """First and last grid point, fractional, and the counts along x, y, z."""
    with mrcfile.open(path, permissive=True, header_only=True) as ccp4:
        h = ccp4.header
        counts = [int(h.nx), int(h.ny), int(h.nz)]
        starts = [int(h.nxstart), int(h.nystart), int(h.nzstart)]
        order = [int(h.mapc) - 1, int(h.mapr) - 1, int(h.maps) - 1]
        intervals = np.array([int(h.mx), int(h.my), int(h.mz)])
    n_xyz, start_xyz = [0] * 3, [0] * 3
    for slot, axis in enumerate(order):
        n_xyz[axis], start_xyz[axis] = counts[slot], starts[slot]
    first = np.array(start_xyz) / intervals
    return first, (np.array(start_xyz) + np.array(n_xyz) - 1) / intervals, n_xyz


def check_pymol(cmd, path, name, edges, points):
    """PyMOL places a plugin-read map's points at voxel centres, so its extent reaches
    half a step before the first point and beyond the last; a CCP4 map's extent ends at
    its first and last points. PyMOL's extent is the image of those two corners."""
    with output_to_log(os.path.join(os.path.dirname(path), "pymol.log")):
        cmd.load(path, name)
    require(name in cmd.get_names("all"), "nothing loaded")
    require(cmd.get_type(name) == "object:map", "loaded as %s" % cmd.get_type(name))
    if path.endswith(".ccp4"):
        first, last, shape = ccp4_extent_corners(path)
    else:
        first, shape = -0.5 / np.array(points), list(points)
        last = 1 + first
    field = list(cmd.get_volume_field(name).shape)
    require(field == shape, "grid %r, expected %r" % (field, shape))
    got = np.array(cmd.get_extent(name))
    wanted = np.array([edges @ first, edges @ last])
    require(np.allclose(got, wanted, atol=1e-3), "extent %r, expected %r" % (
        got.tolist(), wanted.tolist()))
    return "map of %s points, extent %s to %s" % (
        "x".join(map(str, field)), np.round(got[0], 3).tolist(), np.round(got[1], 3).tolist())


def convert_quartz(checks, grix, work):
    """The example in every format checked here: {options: path or None}."""
    made = {}
    for options, extension in ((["-cube"], ".cube"), (["-xsf"], ".xsf"),
                               (["-ccp4"], ".ccp4"), (["-ccp4", "-full"], ".ccp4")):
        key = " ".join(options)
        made[key] = checks.run("grix %s quartz" % key, convert, grix, options + ["quartz"],
                               quartz_inputs(), work, extension)
    return made


def check_ccp4_maps(checks, grix, made, work):
    for msect in (1, 2, 3):
        inputs = {"run.fclc": map_file(msect), "run.exp": experiment_file()}
        path = checks.run("grix -ccp4 on a map of msect %d" % msect, convert, grix,
                          ["-ccp4", "run"], inputs, work, ".ccp4")
        if path:
            checks.run("mrcfile validates the CCP4 map of msect %d" % msect, check_mrcfile,
                       path)
    for key in ("-ccp4", "-ccp4 -full"):
        if made[key]:
            checks.run("mrcfile validates quartz (%s)" % key, check_mrcfile, made[key])


def check_text_files(checks, jar, made, edges, points, highest):
    cube = made["-cube"] and checks.run("cube read back", describe, read_cube, made["-cube"])
    xsf = made["-xsf"] and checks.run("XSF read back", describe, read_xsf, made["-xsf"])
    for path, per_angstrom3 in ((made["-cube"], BOHR**3), (made["-xsf"], 1)):
        if path:
            checks.run("Jmol reads %s" % os.path.basename(path), check_jmol, jar, path,
                       0.5 * highest * per_angstrom3)
    if made["-cube"] and xsf:
        checks.run("ASE reads %s" % os.path.basename(made["-cube"]), check_ase,
                   made["-cube"], xsf, points, edges)
    if cube:
        checks.run("cube grid and cell", check_grid_and_cell, cube, points, edges)
        checks.run("density maxima at the atom sites", check_maxima, cube)
    if cube and xsf and made["-ccp4 -full"]:
        checks.run("cube, XSF and whole-cell CCP4 agree", check_agreement, cube, xsf,
                   made["-ccp4 -full"])


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: check_viewers.py GRIX_BINARY JMOLDATA_JAR")
    grix, jar = os.path.abspath(sys.argv[1]), sys.argv[2]
    checks = Checks()
    edges = quartz_cell_edges()
    points, highest = quartz_map_grid()
    with tempfile.TemporaryDirectory() as work:
        made = convert_quartz(checks, grix, work)
        check_ccp4_maps(checks, grix, made, work)
        check_text_files(checks, jar, made, edges, points, highest)
        with pymol2.PyMOL() as session:
            for n, (key, path) in enumerate(made.items()):
                if path and key != "-cube":
                    checks.run("PyMOL loads %s (%s)" % (os.path.basename(path), key),
                               check_pymol, session.cmd, path, "map%d" % n, edges, points)
    checks.say("%s: %d check(s) failed" % ("FAILED" if checks.failed else "passed",
                                          checks.failed))
    return 1 if checks.failed else 0


if __name__ == "__main__":
    sys.exit(main())
