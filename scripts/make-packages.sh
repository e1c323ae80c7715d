#!/usr/bin/env bash
# Builds the Debian packages libpelmora0, libpelmora0-dev and kvtmerge
# (<package>_<version>_amd64.deb) into OUTDIR, by default build-packages/ in the
# source folder: a Release build in the packages' layout (KVT_BUILD_DIR, default
# build-deb/) with Debian's build flags (dpkg-buildflags: hardening), then CPack.
# Installs the Debian packages it needs first.
#
#     scripts/make-packages.sh [OUTDIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${1:-$root/build-packages}")
build=${KVT_BUILD_DIR:-$root/build-deb}

"$root/scripts/install-deps.sh"

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
flags() { dpkg-buildflags --get "$1"; }
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DKVT_DEBIAN_LAYOUT=ON \
    -DKVT_BUILD_TESTS=OFF -DKVT_BUILD_BENCH=OFF "${launcher[@]}" \
    -DCMAKE_CXX_FLAGS="$(flags CPPFLAGS) $(flags CXXFLAGS)" \
    -DCMAKE_EXE_LINKER_FLAGS="$(flags LDFLAGS)" -DCMAKE_SHARED_LINKER_FLAGS="$(flags LDFLAGS)"
cmake --build "$build" -j2

mkdir -p "$out"
staging=$(mktemp -d "$out/.cpack.XXXXXX")
trap 'rm -rf "$staging"' EXIT
(cd "$build" && cpack -G DEB -B "$staging")
mv -f "$staging"/*.deb "$out"/
ls -1 "$out"/*.deb
