# Shared by mariadb-server.sh and galera-cluster.sh (sourced, not run): finding the server
# program and free ports, telling why a server failed, stopping one by its PID, and the
# test accounts.

server_bin() {
    for b in /usr/sbin/mariadbd /usr/sbin/mysqld; do [ -x "$b" ] && { echo "$b"; return; }; done
    echo "mariadbd not found: run scripts/install-deps.sh" >&2; exit 1
}

# Free: nothing listens on port $1, and no socket has it as its own port either. The
# ports lie in the kernel's range for outgoing connections, and a server cannot bind a
# port that a client's connection (to any server) holds, though nothing answers there.
port_is_free() {
    local hex; hex=$(printf '%04X' "$1")
    ! awk -v port="$hex" 'FNR > 1 && substr($2, length($2) - 3) == port { found = 1 } END { exit !found }' \
        /proc/net/tcp /proc/net/tcp6 2>/dev/null \
        && ! (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

# A port found free is only ours once our server listens on it: servers started at the same
# time (two tests, each with a private server) pick and take their ports one after the
# other, under this lock on fd 9. The server itself must not inherit fd 9 (start it with
# 9>&-), or it would hold the lock for as long as it runs.
lock_ports() {
    exec 9>"${TMPDIR:-/tmp}/kvt-mariadb-ports.lock"
    flock 9
}
unlock_ports() {
    flock -u 9
    exec 9>&-
}

# The PID in pid file $1 when that process is alive.
pid_alive() {
    [ -f "$1" ] || return 1
    local pid; pid=$(cat "$1")
    kill -0 "$pid" 2>/dev/null && { echo "$pid"; return 0; }
    return 1
}

# Ends process $1 and waits up to $2 tenths of a second before killing it.
stop_pid() {
    kill "$1"
    for _ in $(seq 1 "$2"); do kill -0 "$1" 2>/dev/null || return 0; sleep 0.1; done
    kill -9 "$1" 2>/dev/null || true
}

# Prints the lines of log $1 that say why something failed: its [ERROR] lines when it has
# any, otherwise its last lines.
log_cause() {
    if [ ! -s "$1" ]; then
        echo "  (no log written: $1)" >&2
    elif grep -q '\[ERROR\]' "$1"; then
        grep '\[ERROR\]' "$1" | tail -15 | sed 's/^/  /' >&2
    else
        tail -15 "$1" | sed 's/^/  /' >&2
    fi
}

# Every server and every initialisation has a temporary folder of its own, $4 below:
# a starting server deletes every "#sql..." file in its temporary folder, and in a shared
# /tmp those are the temporary tables of the other servers (their queries fail with
# "Error on delete of '/tmp/#sql-temptable-...'") and of an initialisation beside it.

# Creates the system tables in data folder $1 for account $2, the tool's output in $3,
# temporary files in $4. The accounts are made by address: --skip-name-resolve. On a
# machine whose host name (and "localhost") does not resolve, the tool still stops at its
# own look-up check unless --force is given too, which skips only that check.
install_db() {
    mkdir -p "$1" "$4"
    if ! mariadb-install-db --no-defaults --datadir="$1" --user="$2" --tmpdir="$4" \
            --auth-root-authentication-method=normal --skip-name-resolve --force >"$3" 2>&1; then
        echo "initialising the data folder $1 failed; mariadb-install-db says:" >&2
        log_cause "$3"
        rm -rf "$1"
        exit 1
    fi
}

# SQL for a fresh server: no anonymous users (they would shadow ours), and $user with
# password $password and every privilege from 127.0.0.1 and localhost.
accounts_sql() {
    cat <<SQL
DELETE FROM mysql.global_priv WHERE User='';
FLUSH PRIVILEGES;
CREATE USER '$user'@'127.0.0.1' IDENTIFIED BY '$password';
CREATE USER '$user'@'localhost' IDENTIFIED BY '$password';
GRANT ALL PRIVILEGES ON *.* TO '$user'@'127.0.0.1' WITH GRANT OPTION;
GRANT ALL PRIVILEGES ON *.* TO '$user'@'localhost' WITH GRANT OPTION;
FLUSH PRIVILEGES;
SQL
}
