#!/usr/bin/env bash
# Opens the files grix writes for today's viewers in real viewers and independent
# readers, without a display: Jmol (JmolData), PyMOL, mrcfile's validator, gemmi and ASE
# (check_viewers.py says what each check does). Installs nothing: a missing Debian
# package is named and ends the run.
#
#   bash packaging/check-viewers.sh GRIX_BINARY
set -euo pipefail

fail() {
    echo "check-viewers: $*" >&2
    exit 1
}

[ $# -eq 1 ] || fail "usage: check-viewers.sh GRIX_BINARY"
[ -x "$1" ] || fail "$1 is not an executable"
grix=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")

# Debian's Python modules serve the system interpreter only.
python=/usr/bin/python3
jar=
for candidate in /usr/share/jmol/JmolData.jar /usr/share/java/JmolData.jar; do
    if [ -f "$candidate" ]; then
        jar=$candidate
        break
    fi
done

missing=()
[ -x "$python" ] || missing+=(python3)
has_module() {
    [ -x "$python" ] && "$python" -c "import $1" 2>/dev/null
}
has_module numpy || missing+=(python3-numpy)
has_module gemmi || missing+=(python3-gemmi)
has_module mrcfile || missing+=(python3-mrcfile)
has_module ase || missing+=(python3-ase)
has_module pymol2 || missing+=(pymol)
{ [ -n "$jar" ] && command -v java >/dev/null; } || missing+=(jmol)
if [ ${#missing[@]} -gt 0 ]; then
    fail "missing Debian package(s): ${missing[*]} (apt-get install -y ${missing[*]})"
fi

exec "$python" "$(dirname "$0")/check_viewers.py" "$grix" "$jar"
