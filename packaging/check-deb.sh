#!/usr/bin/env bash
# Builds the Debian package of grix with CPack, unpacks it into a scratch root with
# dpkg -x and converts the bundled alpha-quartz example with the unpacked binary in
# every output format. Works from a fresh clone; everything it makes is removed at exit.
#
#   bash packaging/check-deb.sh
set -euo pipefail

source_dir=$(cd "$(dirname "$0")/.." && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

fail() {
    echo "check-deb: $*" >&2
    exit 1
}

# What a fresh Debian machine may lack: the compiler, CMake, dpkg-shlibdeps (which
# CPack runs to work out the package's dependencies) and groff (the manual page check).
missing=()
command -v cmake >/dev/null || missing+=(cmake)
command -v g++ >/dev/null || missing+=(g++)
command -v dpkg-shlibdeps >/dev/null || missing+=(dpkg-dev)
command -v groff >/dev/null || missing+=(groff-base)
if [ ${#missing[@]} -gt 0 ]; then
    apt-get update
    apt-get install -y --no-install-recommends "${missing[@]}"
fi

# Build and package quietly; the log is shown only when a step fails.
build="$scratch/build"
log="$scratch/build.log"
quietly() {
    "$@" >>"$log" 2>&1 || { cat "$log" >&2; fail "failed: $*"; }
}
quietly cmake -S "$source_dir" -B "$build" -DBUILD_TESTING=OFF
quietly cmake --build "$build" -j2 --target grix manual_page
quietly cpack -G DEB --config "$build/CPackConfig.cmake" -B "$build"

debs=("$build"/grix_*.deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
    fail "cpack made no single grix_*.deb"
fi
deb=${debs[0]}

contents=$(dpkg-deb --contents "$deb")
for path in ./usr/bin/grix ./usr/share/man/man1/grix.1.gz ./usr/share/doc/grix/copyright; do
    grep -q " $path\$" <<<"$contents" || fail "$(basename "$deb") holds no $path"
done

root="$scratch/root"
dpkg -x "$deb" "$root"
grix="$root/usr/bin/grix"
[ -x "$grix" ] || fail "the unpacked package has no executable usr/bin/grix"

# The manual page must format without a single warning.
warnings=$(gzip -dc "$root/usr/share/man/man1/grix.1.gz" | groff -man -Tutf8 -ww -z 2>&1)
[ -z "$warnings" ] || fail "groff warns about the manual page: $warnings"

# Batch mode converts silently in every format the usage text lists; each run gets a
# fresh copy of the example.
mapfile -t formats < <("$grix" --help | awk '/^  -/ {
    for (f = 2; f <= NF; ++f) if ($f ~ /^expnam\./) break
    if (f > NF) next
    option = $(f - 1); file = $f
    if (option == "N") option = $(f - 2) " 3"
    sub(/^expnam\./, "", file); print option ":" file }')
[ ${#formats[@]} -ge 8 ] || fail "grix --help lists ${#formats[@]} output formats"
for format in "${formats[@]}"; do
    options=${format%%:*}
    extension=${format##*:}
    run="$scratch/run$extension"
    mkdir "$run"
    cp "$source_dir/examples/quartz.exp" "$source_dir/examples/quartz.fclc" "$run/"
    status=0
    # shellcheck disable=SC2086 # the options are separate words
    (cd "$run" && "$grix" $options quartz >stdout 2>stderr </dev/null) || status=$?
    [ "$status" -eq 0 ] || fail "grix $options quartz ended with status $status: $(cat "$run/stderr")"
    [ -s "$run/quartz.$extension" ] || fail "grix $options quartz wrote no quartz.$extension"
    if [ -s "$run/stdout" ] || [ -s "$run/stderr" ]; then
        fail "grix $options quartz printed something in batch mode"
    fi
    echo "check-deb: grix $options quartz -> quartz.$extension ($(stat -c %s "$run/quartz.$extension") bytes)"
done
echo "check-deb: $(basename "$deb") installs and converts the example in ${#formats[@]} formats"
