#!/usr/bin/env bash
# Creates demo KVT databases on a MariaDB server: the schema of sql/kvt_schema.sql filled by
# sql/kvt_demo_data.sql (Cyrillic reference records, inspection records with signals, rows
# shared between the databases, reference records that conflict). Every named database is
# dropped and created anew, so the script can be run again at any time.
#
#   make-demo-databases.sh ENVFILE [options] [SOURCE...]
#
#   ENVFILE            file with the KVT_TEST_DB_HOST/PORT/USER/PASSWORD variables
#                      (scripts/mariadb-server.sh prints one)
#   SOURCE...          databases to fill with demo data, numbered 1, 2, ... in this order
#   --empty NAME       also create NAME with the tables only (repeatable)
#   --defects N        defects rows per database (default 2000)
#   --graphics N       graphics rows per database (default 200)
#   --graphic-bytes N  bytes of one signal (default 2048)
#   --refs N           keys per reference table (default 40)
#   --overlap PCT      share of measurement rows also in the next database (default 20)
#
# Without SOURCE and --empty: kvt_demo_1, kvt_demo_2, kvt_demo_3 and the empty kvt_demo_merged.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
usage() { sed -n '2,20p' "$0" | sed 's/^# \{0,1\}//' >&2; exit 2; }

[ $# -ge 1 ] || usage
envfile=$1; shift
[ -r "$envfile" ] || { echo "cannot read $envfile" >&2; exit 2; }
# shellcheck disable=SC1090
source "$envfile"

defects=2000 graphics=200 graphic_bytes=2048 refs=40 overlap=20
sources=() empties=()
while [ $# -gt 0 ]; do
    case "$1" in
        --empty) empties+=("$2"); shift 2 ;;
        --defects) defects=$2; shift 2 ;;
        --graphics) graphics=$2; shift 2 ;;
        --graphic-bytes) graphic_bytes=$2; shift 2 ;;
        --refs) refs=$2; shift 2 ;;
        --overlap) overlap=$2; shift 2 ;;
        -h|--help) usage ;;
        -*) echo "unknown option $1" >&2; usage ;;
        *) sources+=("$1"); shift ;;
    esac
done
if [ ${#sources[@]} -eq 0 ] && [ ${#empties[@]} -eq 0 ]; then
    sources=(kvt_demo_1 kvt_demo_2 kvt_demo_3)
    empties=(kvt_demo_merged)
fi
for n in "$defects" "$graphics" "$graphic_bytes" "$refs" "$overlap"; do
    [[ $n =~ ^[0-9]+$ ]] || { echo "not a number: $n" >&2; exit 2; }
done
[ "$refs" -ge 1 ] || { echo "--refs must be at least 1" >&2; exit 2; }

export MYSQL_PWD=$KVT_TEST_DB_PASSWORD
client() {
    mariadb --no-defaults --default-character-set=utf8mb4 -h"$KVT_TEST_DB_HOST" \
        -P"$KVT_TEST_DB_PORT" -u"$KVT_TEST_DB_USER" --batch "$@"
}

quoted() { printf '`%s`' "${1//\`/\`\`}"; }

create_tables() {
    local q; q=$(quoted "$1")
    {
        echo "DROP DATABASE IF EXISTS $q;"
        echo "CREATE DATABASE $q CHARACTER SET utf8mb4 COLLATE utf8mb4_general_ci;"
        echo "USE $q;"
        cat "$root/sql/kvt_schema.sql"
    } | client
}

number=0
for db in "${sources[@]}"; do
    number=$((number + 1))
    create_tables "$db"
    {
        echo "USE $(quoted "$db");"
        echo "SET @demo_no = $number, @demo_defects = $defects, @demo_graphics = $graphics,"
        echo "    @demo_graphic_bytes = $graphic_bytes, @demo_refs = $refs,"
        echo "    @demo_overlap_pct = $overlap;"
        cat "$root/sql/kvt_demo_data.sql"
    } | client
    counts=$(client -N -e "SELECT CONCAT((SELECT COUNT(*) FROM $(quoted "$db").defects), ' defects, ',
        (SELECT COUNT(*) FROM $(quoted "$db").graphics), ' graphics, ',
        (SELECT COUNT(*) FROM $(quoted "$db").humans), ' people')")
    echo "$db: $counts"
done
for db in "${empties[@]}"; do
    create_tables "$db"
    echo "$db: tables only"
done
