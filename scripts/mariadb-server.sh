#!/usr/bin/env bash
# A private MariaDB server: its own data folder, a free loopback port, a plain background
# process; no system service and no fixed port.
#
#   mariadb-server.sh start DIR   start (initialising DIR on first use), print the env file
#   mariadb-server.sh stop DIR    stop the server started in DIR, by its own PID
#   mariadb-server.sh env DIR     print the path of DIR's env file (KVT_TEST_DB_* variables)
#
# The server has the user $KVT_DB_USER (default kvt) with password $KVT_DB_PASSWORD
# (default kvt-secret) for 127.0.0.1 and localhost, with every privilege.
#
# KVT_DB_SERVER_OPTIONS adds server options when it starts (for instance
# --lower-case-table-names=1).
# TLS: the server also accepts TLS connections (KVT_DB_TLS=0 turns that off), with a
# certificate for 127.0.0.1 from a CA made for it in DIR/tls. Two more users with every
# privilege are accepted only over TLS: <user>-tls (REQUIRE SSL) and <user>-x509 (REQUIRE
# X509: also with a client certificate of that CA). Plain connections of the first user
# stay plain. The env file adds KVT_TEST_DB_TLS_USER, KVT_TEST_DB_X509_USER (password:
# the same), KVT_TEST_DB_SSL_CA, KVT_TEST_DB_SSL_CERT, KVT_TEST_DB_SSL_KEY (client
# certificate and key) and KVT_TEST_DB_SSL_OTHER_CA (a CA that signed nothing here).
set -euo pipefail

cmd=${1:-}
dir=${2:-}
[ -n "$cmd" ] && [ -n "$dir" ] || { echo "usage: $0 start|stop|env DIR" >&2; exit 2; }
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)
data="$dir/data"
run="$dir/run"
tmp="$dir/tmp"
envfile="$dir/server.env"
user=${KVT_DB_USER:-kvt}
password=${KVT_DB_PASSWORD:-kvt-secret}
# shellcheck source=scripts/mariadb-common.sh
source "$(dirname "${BASH_SOURCE[0]}")/mariadb-common.sh"

free_port() {
    local p
    for p in $(seq "${KVT_DB_PORT_FROM:-33306}" 1 "$(( ${KVT_DB_PORT_FROM:-33306} + 500 ))"); do
        port_is_free "$p" && { echo "$p"; return; }
    done
    echo "no free port found" >&2; exit 1
}

running_pid() { pid_alive "$run/mysqld.pid"; }

sql() {
    mariadb --no-defaults --protocol=socket -S "$run/mysqld.sock" -uroot "$@"
}

# ---- TLS ---------------------------------------------------------------------------
tls="$dir/tls"
tls_args=()

# A CA, a server certificate for 127.0.0.1 and a client certificate, made once.
tls_prepare() {
    [ "${KVT_DB_TLS:-1}" = 1 ] || return 0
    command -v openssl >/dev/null || { echo "openssl not found: run scripts/install-deps.sh" >&2; exit 1; }
    if [ ! -f "$tls/client.pem" ]; then
        mkdir -p "$tls"
        (
            cd "$tls"
            local subj="/O=kvtmerge test server"
            openssl req -x509 -newkey rsa:2048 -nodes -days 3650 -subj "$subj/CN=kvt test CA" \
                -keyout ca-key.pem -out ca.pem
            openssl req -x509 -newkey rsa:2048 -nodes -days 3650 -subj "$subj/CN=kvt other CA" \
                -keyout other-ca-key.pem -out other-ca.pem
            openssl req -newkey rsa:2048 -nodes -subj "$subj/CN=127.0.0.1" \
                -keyout server-key.pem -out server.csr
            openssl x509 -req -in server.csr -CA ca.pem -CAkey ca-key.pem -CAcreateserial \
                -days 3650 -extfile <(printf 'subjectAltName=IP:127.0.0.1\n') -out server.pem
            openssl req -newkey rsa:2048 -nodes -subj "$subj/CN=kvt client" \
                -keyout client-key.pem -out client.csr
            openssl x509 -req -in client.csr -CA ca.pem -CAkey ca-key.pem -CAcreateserial \
                -days 3650 -out client.pem
            rm -f ./*.csr
            chmod 600 ./*key.pem
        ) >"$run/tls.log" 2>&1 || { echo "TLS certificates not made:" >&2; cat "$run/tls.log" >&2; exit 1; }
    fi
    tls_args=(--ssl-ca="$tls/ca.pem" --ssl-cert="$tls/server.pem" --ssl-key="$tls/server-key.pem")
}

# The users accepted only over TLS (also in a data folder made before TLS was added).
tls_users() {
    [ "${KVT_DB_TLS:-1}" = 1 ] || return 0
    local u h req
    for u in "$user-tls:SSL" "$user-x509:X509"; do
        req=${u#*:}; u=${u%%:*}
        for h in 127.0.0.1 localhost; do
            sql -e "CREATE USER IF NOT EXISTS '$u'@'$h' IDENTIFIED BY '$password' REQUIRE $req;
                    GRANT ALL PRIVILEGES ON *.* TO '$u'@'$h';"
        done
    done
}

tls_env() {
    [ "${KVT_DB_TLS:-1}" = 1 ] || return 0
    cat <<ENV
export KVT_TEST_DB_TLS_USER=$user-tls
export KVT_TEST_DB_X509_USER=$user-x509
export KVT_TEST_DB_SSL_CA=$tls/ca.pem
export KVT_TEST_DB_SSL_CERT=$tls/client.pem
export KVT_TEST_DB_SSL_KEY=$tls/client-key.pem
export KVT_TEST_DB_SSL_OTHER_CA=$tls/other-ca.pem
ENV
}
# ------------------------------------------------------------------------------------

start() {
    if pid=$(running_pid); then
        echo "$envfile"; return 0
    fi
    mkdir -p "$run" "$tmp"
    local fresh=0
    if [ ! -d "$data/mysql" ]; then
        install_db "$data" root "$run/install.log" "$tmp"
        fresh=1
    fi
    tls_prepare
    lock_ports
    local port; port=$(free_port)
    local bin; bin=$(server_bin)
    rm -f "$run/mysqld.err"
    # --skip-name-resolve: the accounts are by address, and a host name that does not
    # resolve must not slow down or refuse a connection.
    "$bin" --no-defaults --datadir="$data" --socket="$run/mysqld.sock" \
        --pid-file="$run/mysqld.pid" --port="$port" --bind-address=127.0.0.1 --user=root \
        --skip-name-resolve --tmpdir="$tmp" \
        --skip-log-bin --innodb-buffer-pool-size=256M --log-error="$run/mysqld.err" \
        --character-set-server=utf8mb4 --collation-server=utf8mb4_general_ci \
        --max-allowed-packet=256M "${tls_args[@]}" ${KVT_DB_SERVER_OPTIONS:-} >/dev/null 2>&1 </dev/null 9>&- &
    local server_pid=$! i
    for i in $(seq 1 300); do
        if [ -S "$run/mysqld.sock" ] && sql -e "SELECT 1" >/dev/null 2>&1; then break; fi
        kill -0 "$server_pid" 2>/dev/null || break
        sleep 0.1
    done
    unlock_ports
    if ! sql -e "SELECT 1" >/dev/null 2>&1; then
        if kill -0 "$server_pid" 2>/dev/null; then
            echo "the server in $dir did not answer within 30 s; its log says:" >&2
        else
            echo "the server in $dir did not start (port $port); its log says:" >&2
        fi
        log_cause "$run/mysqld.err"
        exit 1
    fi
    if [ "$fresh" = 1 ]; then
        accounts_sql | sql
    fi
    tls_users
    cat >"$envfile" <<ENV
export KVT_TEST_DB_HOST=127.0.0.1
export KVT_TEST_DB_PORT=$port
export KVT_TEST_DB_USER=$user
export KVT_TEST_DB_PASSWORD=$password
export KVT_TEST_DB_SOCKET=$run/mysqld.sock
ENV
    tls_env >>"$envfile"
    echo "$envfile"
}

stop() {
    local pid
    if pid=$(running_pid); then
        stop_pid "$pid" 300
    fi
    rm -f "$envfile"
}

case "$cmd" in
    start) start ;;
    stop) stop ;;
    env) echo "$envfile" ;;
    *) echo "usage: $0 start|stop|env DIR" >&2; exit 2 ;;
esac
