#!/usr/bin/env bash
# Builds kvtmerge, starts a local demo MariaDB server holding three demo KVT databases
# and an empty destination, prints what to type into the connection panel and starts
# the program. The server keeps running after the program ends; stop it with
#   scripts/mariadb-server.sh stop .kvt-db/demo
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KVT_DEMO_BUILD_DIR:-$root/build}
server_dir=$root/.kvt-db/demo

"$root/scripts/install-deps.sh"

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKVT_BUILD_TESTS=OFF \
    -DCMAKE_CXX_COMPILER_LAUNCHER=ccache
cmake --build "$build" -j2 --target kvtmerge

envfile=$("$root/scripts/mariadb-server.sh" start "$server_dir")
# shellcheck disable=SC1090
source "$envfile"
# kvt_demo_1..3 with demo data and the empty destination kvt_demo_merged
"$root/scripts/make-demo-databases.sh" "$envfile"

cat <<INFO

The demo server is running. In kvtmerge's connection panel type:
  Host:     $KVT_TEST_DB_HOST
  Port:     $KVT_TEST_DB_PORT
  User:     $KVT_TEST_DB_USER
  Password: $KVT_TEST_DB_PASSWORD
then Connect, set the count to 3, name the sources kvt_demo_1, kvt_demo_2, kvt_demo_3
and the destination kvt_demo_merged, and press "Merge databases".
Stop the server later with: scripts/mariadb-server.sh stop .kvt-db/demo

INFO

cd "$build/kvtmerge"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display found: starting kvtmerge on a virtual X server (xvfb-run)." >&2
    exec xvfb-run -a ./kvtmerge
fi
exec ./kvtmerge
