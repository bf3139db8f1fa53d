#!/usr/bin/env bash
# Cross-builds grix.exe with MinGW-w64, runs it under wine on the bundled alpha-quartz
# example in every output format and compares each file with the one the Linux build
# writes: a text file must equal the Linux file with every LF turned into CR LF (the
# Windows C library's text mode), a binary file must be identical. Installs the cross
# compiler and wine when they are missing; everything it makes is removed at exit.
#
#   bash packaging/check-windows.sh
set -euo pipefail

source_dir=$(cd "$(dirname "$0")/.." && pwd)
scratch=$(mktemp -d)

# wine leaves a server running for its prefix; stop that one server, then clean up.
cleanup() {
    if [ -n "${wineserver:-}" ] && [ -d "$scratch/wine" ]; then
        WINEPREFIX="$scratch/wine" "$wineserver" -k 2>/dev/null || true
    fi
    rm -rf "$scratch"
}
trap cleanup EXIT

fail() {
    echo "check-windows: $*" >&2
    exit 1
}

find_first() {
    local candidate
    for candidate in "$@"; do
        if command -v "$candidate" >/dev/null 2>&1; then
            command -v "$candidate"
            return
        fi
    done
}

missing=()
command -v cmake >/dev/null || missing+=(cmake)
command -v g++ >/dev/null || missing+=(g++)
command -v x86_64-w64-mingw32-g++-posix >/dev/null || missing+=(g++-mingw-w64-x86-64-posix)
[ -n "$(find_first wine wine64 /usr/lib/wine/wine64)" ] || missing+=(wine wine64)
if [ ${#missing[@]} -gt 0 ]; then
    apt-get update
    apt-get install -y --no-install-recommends "${missing[@]}"
fi
wine=$(find_first wine wine64 /usr/lib/wine/wine64)
wineserver=$(find_first wineserver /usr/lib/wine/wineserver64 /usr/lib/wine/wineserver)
[ -n "$wine" ] || fail "no wine program found"

# A private, quiet wine prefix that does not offer to install Mono or Gecko.
export WINEPREFIX="$scratch/wine"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

log="$scratch/build.log"
quietly() {
    "$@" >>"$log" 2>&1 || { cat "$log" >&2; fail "failed: $*"; }
}

quietly cmake -S "$source_dir" -B "$scratch/linux" -DBUILD_TESTING=OFF
quietly cmake --build "$scratch/linux" -j2 --target grix
quietly cmake -S "$source_dir" -B "$scratch/windows" -DBUILD_TESTING=OFF \
    -DCMAKE_TOOLCHAIN_FILE="$source_dir/packaging/mingw-w64-x86_64.cmake"
quietly cmake --build "$scratch/windows" -j2 --target grix
echo "check-windows: both builds done (${SECONDS} s)"
if grep -q 'warning:' "$log"; then
    grep 'warning:' "$log" | sort -u >&2
    echo "check-windows: the builds are not free of warnings (listed above)" >&2
fi

# The program must run on a bare Windows: only system DLLs may be imported.
exe="$scratch/windows/grix.exe"
dlls=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^.*DLL Name: //p' | tr '\n' ' ')
for dll in $dlls; do
    case "${dll,,}" in
        kernel32.dll | msvcrt.dll | ucrtbase.dll | api-ms-win-*.dll) ;;
        *) fail "grix.exe needs $dll; it should be linked statically" ;;
    esac
done
echo "check-windows: grix.exe imports only $dlls"

# Runs one build's program on a fresh copy of the example in the directory $1.
convert() {
    local directory=$1 options=$2
    shift 2
    mkdir -p "$directory"
    cp "$source_dir/examples/quartz.exp" "$source_dir/examples/quartz.fclc" "$directory/"
    # shellcheck disable=SC2086 # the options are separate words
    (cd "$directory" && "$@" $options quartz >stdout 2>stderr </dev/null)
}

# The format's options, the extension of its file, and whether the file is text.
formats=("-ascii 3:txt:text" "-wingx:map:binary" "-march:fou:text" "-xd:grd:text"
         "-ccp4:ccp4:binary" "-cube:cube:text" "-xsf:xsf:text" "-html:html:text")
for format in "${formats[@]}"; do
    IFS=: read -r options extension kind <<<"$format"
    linux_dir="$scratch/run-linux-$extension"
    windows_dir="$scratch/run-windows-$extension"
    convert "$linux_dir" "$options" "$scratch/linux/grix" ||
        fail "Linux grix $options quartz failed: $(cat "$linux_dir/stderr")"
    convert "$windows_dir" "$options" "$wine" "$exe" ||
        fail "grix.exe $options quartz failed under wine: $(cat "$windows_dir/stderr")"
    linux_file="$linux_dir/quartz.$extension"
    windows_file="$windows_dir/quartz.$extension"
    [ -s "$linux_file" ] || fail "Linux grix $options quartz wrote no quartz.$extension"
    [ -s "$windows_file" ] || fail "grix.exe $options quartz wrote no quartz.$extension"
    if [ -s "$linux_dir/stdout" ] || [ -s "$windows_dir/stdout" ]; then
        fail "grix $options quartz printed on standard output in batch mode"
    fi

    if [ "$kind" = binary ]; then
        cmp -s "$linux_file" "$windows_file" ||
            fail "quartz.$extension differs between Linux and Windows"
    else
        # MinGW's own C99 printf (see the toolchain file) writes the XD file's E formats
        # with two exponent digits, as glibc does (E+01, not the E+001 of the old
        # Windows C library): only the line ends may differ.
        expected="$scratch/expected.$extension"
        perl -pe 's/\n/\r\n/g' "$linux_file" >"$expected"
        if ! cmp "$expected" "$windows_file" >&2; then
            fail "quartz.$extension from Windows is not the Linux file with CR LF line ends"
        fi
    fi
    echo "check-windows: grix.exe $options quartz -> quartz.$extension equals the Linux output ($kind)"
done

# Windows paths: the experiment named with a backslash and its extension, from a
# directory below the example, names the same files as on Linux; the file there is
# replaced whole.
windows_dir="$scratch/run-windows-map"
mkdir "$windows_dir/below"
echo "an older map" >"$windows_dir/quartz.map"
(cd "$windows_dir/below" && "$wine" "$exe" -wingx '..\quartz.exp' >/dev/null 2>&1 </dev/null) ||
    fail "grix.exe -wingx ..\\quartz.exp failed under wine"
cmp -s "$scratch/run-linux-map/quartz.map" "$windows_dir/quartz.map" ||
    fail "grix.exe -wingx ..\\quartz.exp did not write ..\\quartz.map like the Linux build"
echo "check-windows: grix.exe -wingx ..\\quartz.exp -> ..\\quartz.map equals the Linux output"

echo "check-windows: grix.exe converts the example like the Linux build in ${#formats[@]} formats (${SECONDS} s)"
