#!/usr/bin/env bash
# Installs what is missing, builds with Qt 5 and the sanitizers, starts a fresh private
# MariaDB server and a fresh three-node Galera cluster and runs the whole test suite with
# ctest; then builds with Qt 6 (without the sanitizers, to keep the run short) and runs the
# suite again against the same server and cluster, and stops both; then builds and checks
# the Debian packages (scripts/check-packages.sh). Arguments go to both ctest runs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KVT_TEST_BUILD_DIR:-$root/build-tests}
build_qt6=${KVT_TEST_BUILD_DIR_QT6:-$root/build-tests-qt6}

"$root/scripts/install-deps.sh"

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DKVT_SANITIZE=ON \
    -DCMAKE_CXX_COMPILER_LAUNCHER=ccache
cmake --build "$build" -j2
cmake -S "$root" -B "$build_qt6" -DKVT_QT_MAJOR=6 -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_CXX_COMPILER_LAUNCHER=ccache
cmake --build "$build_qt6" -j2

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

for dir in "$build" "$build_qt6"; do
    echo "== the suite in $dir"
    (cd "$dir" && ctest --output-on-failure -j2 "$@")
done
"$root/scripts/check-packages.sh"
