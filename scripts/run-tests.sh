#!/usr/bin/env bash
# Installs what is missing, builds with the sanitizers, starts a fresh private MariaDB
# server, runs the whole test suite with ctest and stops the server again; then builds
# and checks the Debian packages (scripts/check-packages.sh).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KVT_TEST_BUILD_DIR:-$root/build-tests}

"$root/scripts/install-deps.sh"

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DKVT_SANITIZE=ON \
    -DCMAKE_CXX_COMPILER_LAUNCHER=ccache
cmake --build "$build" -j2

server_dir=$(mktemp -d /tmp/kvt-test-server.XXXXXX)
cleanup() {
    "$root/scripts/mariadb-server.sh" stop "$server_dir" || true
    rm -rf "$server_dir"
}
trap cleanup EXIT
# shellcheck disable=SC1090
source "$("$root/scripts/mariadb-server.sh" start "$server_dir")"
export KVT_REQUIRE_DB=1

cd "$build"
ctest --output-on-failure -j2 "$@"
"$root/scripts/check-packages.sh"
