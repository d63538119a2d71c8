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
    say "starting a throwaway cluster in $QV_WORK"
    mkdir -p "$QV_WORK/data" "$QV_WORK/sock"
    chown postgres: "$QV_WORK/data" "$QV_WORK/sock"
    runuser -u postgres -- "$QV_BIN/initdb" -D "$QV_WORK/data" -A trust -E UTF8 \
        --locale=C.UTF-8 >"$QV_WORK/initdb.log" 2>&1 ||
        { cat "$QV_WORK/initdb.log" >&2; return 1; }
    touch "$QV_WORK/server.log" && chown postgres: "$QV_WORK/server.log"
    runuser -u postgres -- "$QV_BIN/pg_ctl" -D "$QV_WORK/data" -l "$QV_WORK/server.log" -w \
        -o "-c listen_addresses='' -k $QV_WORK/sock -p 5432 ${QV_SERVER_OPTS:-}" start >/dev/null ||
        { cat "$QV_WORK/server.log" >&2; return 1; }
    export PGHOST="$QV_WORK/sock" PGPORT=5432 PGUSER=postgres
}

# Stops the cluster and removes the installation tree; safe to call twice.
qv_cleanup() {
    [ -n "$QV_WORK" ] || return 0
    if [ -f "$QV_WORK/data/postmaster.pid" ]; then
        runuser -u postgres -- "$QV_BIN/pg_ctl" -D "$QV_WORK/data" -m immediate -w stop \
            >/dev/null 2>&1 || true
    fi
    rm -rf "$QV_WORK"
    QV_WORK=""
}
