#!/usr/bin/env bash
# A private three-node MariaDB Galera cluster on loopback: three plain background
# processes, each with its own data folder, SQL port, group-communication (gcomm) port,
# incremental (IST) and full state-transfer (SST, rsync) port. No system service.
#
#   galera-cluster.sh start DIR   start the cluster in DIR (initialising it on first use),
#                                 wait until all three nodes are synced, print the env file
#   galera-cluster.sh stop DIR    stop the nodes started in DIR, by their own PIDs
#   galera-cluster.sh env DIR     print the path of DIR's env file
#
# The env file defines KVT_CLUSTER_NODE1_PORT, KVT_CLUSTER_NODE2_PORT,
# KVT_CLUSTER_NODE3_PORT, KVT_CLUSTER_USER and KVT_CLUSTER_PASSWORD: the user
# $KVT_DB_USER (default kvt, password $KVT_DB_PASSWORD, default kvt-secret) has every
# privilege from 127.0.0.1 and localhost. Ports are taken from $KVT_CLUSTER_PORT_FROM on
# (default 34250), four per node. The nodes are sized for a small machine: 64 MB buffer
# pool each, no performance schema, relaxed log flushing (test data only).
set -euo pipefail

cmd=${1:-}
dir=${2:-}
[ -n "$cmd" ] && [ -n "$dir" ] || { echo "usage: $0 start|stop|env DIR" >&2; exit 2; }
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)
envfile="$dir/cluster.env"
user=${KVT_DB_USER:-kvt}
password=${KVT_DB_PASSWORD:-kvt-secret}
provider=/usr/lib/galera/libgalera_smm.so
nodes=(1 2 3)
# shellcheck source=scripts/mariadb-common.sh
source "$(dirname "${BASH_SOURCE[0]}")/mariadb-common.sh"

# The account the nodes run as. As root: the system's mysql account, as Debian's service
# does; the rsync state transfer's daemon would otherwise drop root for "nobody", who
# cannot write a joiner's data folder.
if [ "$(id -u)" -eq 0 ]; then
    run_user=mysql
    id "$run_user" >/dev/null 2>&1 || { echo "no '$run_user' account: run scripts/install-deps.sh" >&2; exit 1; }
    chmod o+x "$dir"
else
    run_user=$(id -un)
fi

node_dir() { echo "$dir/node$1"; }

running_pid() { pid_alive "$(node_dir "$1")/run/mysqld.pid"; }

sql() {
    local n=$1; shift
    mariadb --no-defaults --protocol=socket -S "$(node_dir "$n")/run/mysqld.sock" -uroot -N -B "$@"
}

status_of() { sql "$1" -e "SHOW GLOBAL STATUS LIKE '$2'" 2>/dev/null | cut -f2; }

# Picks 12 free ports from $KVT_CLUSTER_PORT_FROM on into the array `ports`.
pick_ports() {
    local from=${KVT_CLUSTER_PORT_FROM:-34250} p
    ports=()
    for p in $(seq "$from" 1 $((from + 500))); do
        port_is_free "$p" && ports+=("$p")
        [ ${#ports[@]} -eq 12 ] && return 0
    done
    echo "not enough free ports from $from on" >&2; exit 1
}
sql_port() { echo "${ports[$(( ($1 - 1) * 4 ))]}"; }
gcomm_port() { echo "${ports[$(( ($1 - 1) * 4 + 1 ))]}"; }
ist_port() { echo "${ports[$(( ($1 - 1) * 4 + 2 ))]}"; }
sst_port() { echo "${ports[$(( ($1 - 1) * 4 + 3 ))]}"; }

fail() {
    local n=$1; shift
    echo "$* ; node $n's log says:" >&2
    log_cause "$(node_dir "$n")/run/mysqld.err"
    stop
    exit 1
}

# Node 1's system tables; the others receive everything by state transfer.
initialise() {
    mkdir -p "$(node_dir 1)/data" "$(node_dir 1)/run" "$(node_dir 1)/tmp"
    own "$(node_dir 1)"
    install_db "$(node_dir 1)/data" "$run_user" "$(node_dir 1)/run/install.log" "$(node_dir 1)/tmp"
}

own() { [ "$(id -u)" -ne 0 ] || chown -R "$run_user:" "$1"; }

start_node() {
    local n=$1; shift
    local nd; nd=$(node_dir "$n")
    mkdir -p "$nd/data" "$nd/run" "$nd/tmp"
    own "$nd"
    rm -f "$nd/run/mysqld.err"
    local members="127.0.0.1:$(gcomm_port 1),127.0.0.1:$(gcomm_port 2),127.0.0.1:$(gcomm_port 3)"
    "$(server_bin)" --no-defaults --datadir="$nd/data" --socket="$nd/run/mysqld.sock" \
        --pid-file="$nd/run/mysqld.pid" --port="$(sql_port "$n")" --bind-address=127.0.0.1 \
        --user="$run_user" --skip-name-resolve --tmpdir="$nd/tmp" --log-error="$nd/run/mysqld.err" \
        --character-set-server=utf8mb4 --collation-server=utf8mb4_general_ci \
        --max-allowed-packet=256M --skip-log-bin --performance-schema=OFF \
        --innodb-buffer-pool-size=64M --innodb-flush-log-at-trx-commit=0 \
        --binlog-format=ROW --default-storage-engine=InnoDB --innodb-autoinc-lock-mode=2 \
        --wsrep-on=ON --wsrep-provider="$provider" --wsrep-cluster-name=kvt-test-cluster \
        --wsrep-cluster-address="gcomm://$members" --wsrep-node-name="node$n" \
        --wsrep-node-address="127.0.0.1:$(gcomm_port "$n")" \
        --wsrep-node-incoming-address="127.0.0.1:$(sql_port "$n")" \
        --wsrep-provider-options="gmcast.listen_addr=tcp://127.0.0.1:$(gcomm_port "$n");ist.recv_addr=127.0.0.1:$(ist_port "$n");gcache.size=64M" \
        --wsrep-sst-method=rsync --wsrep-sst-receive-address="127.0.0.1:$(sst_port "$n")" \
        "$@" >/dev/null 2>&1 </dev/null &
    local pid=$! i
    # A joining node answers only after its state transfer: allow for it.
    for i in $(seq 1 1200); do
        if [ "$(status_of "$n" wsrep_ready)" = ON ]; then return 0; fi
        kill -0 "$pid" 2>/dev/null || fail "$n" "node $n did not start"
        sleep 0.1
    done
    fail "$n" "node $n was not ready within 120 s"
}

# The node that bootstraps must be marked safe for it; after a stop in this script's
# order it is anyway, after a crash it may not be (test data: bootstrap regardless).
mark_safe_to_bootstrap() {
    local grastate; grastate="$(node_dir 1)/data/grastate.dat"
    [ -f "$grastate" ] && sed -i 's/^safe_to_bootstrap: 0/safe_to_bootstrap: 1/' "$grastate"
    return 0
}

start() {
    local n running=0
    for n in "${nodes[@]}"; do running_pid "$n" >/dev/null && running=$((running + 1)); done
    if [ "$running" -eq 3 ] && [ -f "$envfile" ]; then echo "$envfile"; return 0; fi
    [ "$running" -eq 0 ] || stop
    pick_ports
    local fresh=0
    if [ ! -d "$(node_dir 1)/data/mysql" ]; then initialise; fresh=1; fi
    mark_safe_to_bootstrap
    start_node 1 --wsrep-new-cluster
    if [ "$fresh" = 1 ]; then
        accounts_sql | sql 1
    fi
    # One joiner at a time: each copies node 1's data folder.
    start_node 2
    start_node 3
    local i
    for i in $(seq 1 600); do
        [ "$(status_of 1 wsrep_cluster_size)" = 3 ] && break
        sleep 0.1
    done
    [ "$(status_of 1 wsrep_cluster_size)" = 3 ] || fail 1 "the cluster did not reach 3 nodes"
    for n in "${nodes[@]}"; do
        [ "$(status_of "$n" wsrep_local_state_comment)" = Synced ] \
            || fail "$n" "node $n is not synced"
    done
    cat >"$envfile" <<ENV
export KVT_CLUSTER_NODE1_PORT=$(sql_port 1)
export KVT_CLUSTER_NODE2_PORT=$(sql_port 2)
export KVT_CLUSTER_NODE3_PORT=$(sql_port 3)
export KVT_CLUSTER_USER=$user
export KVT_CLUSTER_PASSWORD=$password
ENV
    echo "$envfile"
}

# Last node first, so that node 1 leaves last and may bootstrap the next start.
stop() {
    local n pid
    for n in 3 2 1; do
        pid=$(running_pid "$n") || continue
        stop_pid "$pid" 600
    done
    rm -f "$envfile"
}

case "$cmd" in
    start) start ;;
    stop) stop ;;
    env) echo "$envfile" ;;
    *) echo "usage: $0 start|stop|env DIR" >&2; exit 2 ;;
esac
