# Shared set-up for scripts/demo and scripts/test: packages, build, a private
# installation tree and a throwaway cluster owned by the postgres OS user.
# Source it; it defines functions and changes nothing by itself.

QV_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
QV_PGVER=15
QV_PACKAGES="postgresql-$QV_PGVER postgresql-server-dev-$QV_PGVER postgresql-contrib
  build-essential cmake libgtest-dev clang libclang-rt-14-dev python3-psycopg2"

say() { printf '==> %s\n' "$*" >&2; }

# Installs whatever Debian packages are missing.
qv_install_packages() {
    local missing=() p
    for p in $QV_PACKAGES; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' ||
            missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    say "installing ${missing[*]}"
    if [ "$(id -u)" -ne 0 ]; then echo "run as root to install packages" >&2; return 1; fi
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
}

qv_build() {
    say "building the extension"
    make -C "$QV_ROOT" -s -j2 PG_CONFIG="$QV_PG_CONFIG" >/dev/null
}

QV_PG_CONFIG=/usr/lib/postgresql/$QV_PGVER/bin/pg_config
QV_WORK=""

# A private copy of the server's installation in a new QV_WORK, so that
# several checkouts can test at once and the system's own directories stay
# untouched.  Its pg_config answers for the copy.  Sets QV_WORK, QV_BIN.
qv_copy_server_tree() {
    QV_WORK=$(mktemp -d /tmp/qv-test.XXXXXX)
    chmod 755 "$QV_WORK"
    local lib share
    lib=$(dirname "$("$QV_PG_CONFIG" --pkglibdir)")   # /usr/lib/postgresql/15
    share=$("$QV_PG_CONFIG" --sharedir)                # /usr/share/postgresql/15
    mkdir -p "$QV_WORK/root$(dirname "$lib")" "$QV_WORK/root$(dirname "$share")"
    cp -a "$lib" "$QV_WORK/root$lib"
    cp -a "$share" "$QV_WORK/root$share"
    # the copy's pg_config places the headers in the copy too
    local inc
    inc=$("$QV_PG_CONFIG" --includedir)                # /usr/include/postgresql
    mkdir -p "$QV_WORK/root$(dirname "$inc")"
    ln -s "$inc" "$QV_WORK/root$inc"
    QV_BIN="$QV_WORK/root$lib/bin"
}

# That copy with the extension of this checkout installed into it.
qv_make_install_tree() {
    qv_copy_server_tree
    make -C "$QV_ROOT" -s install PG_CONFIG="$QV_PG_CONFIG" DESTDIR="$QV_WORK/root" >/dev/null
}

# Starts a cluster on a Unix socket in QV_WORK; exports PGHOST, PGPORT, PGUSER.
qv_start_cluster() {
    qv_start_cluster_at data sock 5432 server.log || return 1
    export PGHOST="$QV_WORK/sock" PGPORT=5432 PGUSER=postgres
}

# Creates and starts one cluster of the installation tree: data directory
# QV_WORK/DATA, socket directory QV_WORK/SOCK, port PORT, server log
# QV_WORK/LOG.  Several clusters may run side by side from one tree.
qv_start_cluster_at() {  # DATA SOCK PORT LOG
    local data="$QV_WORK/$1" sock="$QV_WORK/$2" port=$3 log="$QV_WORK/$4"
    say "starting a throwaway cluster in $data"
    mkdir -p "$data" "$sock"
    chown postgres: "$data" "$sock"
    runuser -u postgres -- "$QV_BIN/initdb" -D "$data" -A trust -E UTF8 \
        --locale=C.UTF-8 >"$data.initdb.log" 2>&1 ||
        { cat "$data.initdb.log" >&2; return 1; }
    touch "$log" && chown postgres: "$log"
    runuser -u postgres -- "$QV_BIN/pg_ctl" -D "$data" -l "$log" -w \
        -o "-c listen_addresses='' -k $sock -p $port ${QV_SERVER_OPTS:-}" start >/dev/null ||
        { cat "$log" >&2; return 1; }
}

# Stops every cluster of QV_WORK and removes the installation tree; safe to
# call twice.
qv_cleanup() {
    [ -n "$QV_WORK" ] || return 0
    local pid
    for pid in "$QV_WORK"/*/postmaster.pid; do
        [ -f "$pid" ] || continue
        runuser -u postgres -- "$QV_BIN/pg_ctl" -D "$(dirname "$pid")" -m immediate -w stop \
            >/dev/null 2>&1 || true
    done
    rm -rf "$QV_WORK"
    QV_WORK=""
}

# Every update path against a fresh install, on the running cluster: for
# each version the installed tree offers besides the default, a database
# installs it, builds an index of each GiST class over data
# (test/update/indexes_before.sql) and updates; a second one installs the
# default.  The two catalogs (test/update/catalog.sql) must be equal, and the
# indexes built before the update must serve the current operators with the
# rows of a sequential scan (test/update/indexes_after.sql).  Prints "update
# FROM: ok" or "update FROM: FAILED" and the difference, then the same for
# the indexes, per path.
qv_check_updates() {
    local psql="$QV_BIN/psql -XAtq -v ON_ERROR_STOP=1" from rc=0 dir
    dir=$(mktemp -d "$QV_WORK/update.XXXXXX")
    $psql -d postgres -c "CREATE DATABASE qv_fresh" >/dev/null &&
        $psql -d qv_fresh -c "CREATE EXTENSION tarvox_range_operators" >/dev/null &&
        $psql -d qv_fresh -f "$QV_ROOT/test/update/catalog.sql" >"$dir/fresh" || return 1
    for from in $($psql -d postgres -c "SELECT version FROM pg_available_extension_versions
                     WHERE name = 'tarvox_range_operators' AND NOT version = (SELECT default_version
                     FROM pg_available_extensions WHERE name = 'tarvox_range_operators')
                     ORDER BY version"); do
        if $psql -d postgres -c "CREATE DATABASE qv_from" >/dev/null &&
           $psql -d qv_from -c "CREATE EXTENSION tarvox_range_operators VERSION '$from'" \
                 -f "$QV_ROOT/test/update/indexes_before.sql" \
                 -c "ALTER EXTENSION tarvox_range_operators UPDATE" >/dev/null &&
           $psql -d qv_from -f "$QV_ROOT/test/update/catalog.sql" >"$dir/$from" &&
           diff "$dir/$from" "$dir/fresh" >"$dir/$from.diff"; then
            echo "update $from: ok"
        else
            echo "update $from: FAILED"
            head -n 40 "$dir/$from.diff" | sed 's/^/    /'
            rc=1
        fi
        # the indexes built before the update serve the current operators
        $psql -d qv_from -f "$QV_ROOT/test/update/indexes_after.sql" >"$dir/$from.indexes" 2>&1
        if [ -s "$dir/$from.indexes" ] && ! grep -qv ': ok$' "$dir/$from.indexes"; then
            echo "update $from, indexes built before it: ok"
        else
            echo "update $from, indexes built before it: FAILED"
            grep -v ': ok$' "$dir/$from.indexes" | head -n 20 | sed 's/^/    /'
            rc=1
        fi
        $psql -d postgres -c "DROP DATABASE IF EXISTS qv_from" >/dev/null
    done
    $psql -d postgres -c "DROP DATABASE qv_fresh" >/dev/null
    return $rc
}
