#!/usr/bin/env bash
# Installs what is missing, builds with the sanitizers, starts a fresh private MariaDB
# server and a fresh three-node Galera cluster, runs the whole test suite with ctest and
# stops both again; then builds and checks the Debian packages (scripts/check-packages.sh).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KVT_TEST_BUILD_DIR:-$root/build-tests}

"$root/scripts/install-deps.sh"

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DKVT_SANITIZE=ON \
    -DCMAKE_CXX_COMPILER_LAUNCHER=ccache
cmake --build "$build" -j2

server_dir=$(mktemp -d /tmp/kvt-test-server.XXXXXX)
cluster_dir=$(mktemp -d /tmp/kvt-test-cluster.XXXXXX)
cleanup() {
    "$root/scripts/galera-cluster.sh" stop "$cluster_dir" || true
    "$root/scripts/mariadb-server.sh" stop "$server_dir" || true
    rm -rf "$server_dir" "$cluster_dir"
}
trap cleanup EXIT
# The start scripts print their env file, or the cause of their failure.
envfile=$("$root/scripts/mariadb-server.sh" start "$server_dir")
# shellcheck disable=SC1090
source "$envfile"
envfile=$("$root/scripts/galera-cluster.sh" start "$cluster_dir")
# shellcheck disable=SC1090
source "$envfile"
export KVT_REQUIRE_DB=1 KVT_REQUIRE_CLUSTER=1

cd "$build"
ctest --output-on-failure -j2 "$@"
"$root/scripts/check-packages.sh"
