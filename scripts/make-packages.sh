#!/usr/bin/env bash
# Builds the Debian packages libpelmora0, libpelmora0-dev and kvtmerge
# (<package>_<version>_amd64.deb) into OUTDIR, by default build-packages/ in the
# source folder: a Release build in the packages' layout (KVT_BUILD_DIR, default
# build-deb/), then CPack. Installs the Debian packages it needs first.
#
#     scripts/make-packages.sh [OUTDIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${1:-$root/build-packages}")
build=${KVT_BUILD_DIR:-$root/build-deb}

"$root/scripts/install-deps.sh"

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DKVT_DEBIAN_LAYOUT=ON \
    -DKVT_BUILD_TESTS=OFF -DKVT_BUILD_BENCH=OFF "${launcher[@]}"
cmake --build "$build" -j2

mkdir -p "$out"
staging=$(mktemp -d "$out/.cpack.XXXXXX")
trap 'rm -rf "$staging"' EXIT
(cd "$build" && cpack -G DEB -B "$staging")
mv -f "$staging"/*.deb "$out"/
ls -1 "$out"/*.deb
