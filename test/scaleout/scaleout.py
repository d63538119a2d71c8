#!/usr/bin/python3
"""Sets built across shards: a coordinator holds a table hash-partitioned by
`grp` whose partitions are postgres_fdw foreign tables, one per shard, and a
table `ev_all` with the same rows on the coordinator alone.  Each query is
run on the sharded table and its result compared with the same query on
`ev_all`; its plan must ship the extension's aggregates, operators and
functions to the shards (they are named in the Remote SQL of every foreign
scan) and the shards must answer indexed predicates from their GiST index.

Then the foreign servers' `extensions` option is dropped, so that nothing
of the extension may be shipped, and each query is measured in both modes:
rows that cross from the shards to the coordinator and time.

Usage: scaleout.py --coordinator SOCKDIR:PORT --shard SOCKDIR:PORT...
                   [--rows N] [--check] [--reps N]
Without --check it prints the queries, their plans, part of their results
and the measurements; with --check one line per check and a closing line
"scaleout: N passed, M failed" (exit status 1 on any failure).
"""
import argparse
import json
import re
import sys
import threading
import time

import psycopg2

EXTENSION = 'tarvox_range_operators'
GROUPS = 200          # distinct partition keys
CATEGORIES = 8        # distinct values of the column grouped across shards
MAXV = 1000000        # values lie in 0 .. MAXV - 1
COLUMNS = 'grp int4 NOT NULL, cat int4, v int4, span int8, region text'


def connect(target):
    host, port = target.rsplit(':', 1)
    conn = psycopg2.connect(host=host, port=int(port), user='postgres', dbname='postgres')
    conn.autocommit = True
    return conn


def run(conn, sql):
    with conn.cursor() as cur:
        cur.execute(sql)
        return cur.fetchall() if cur.description else None


class Case:
    """One query on the sharded table `ev`.  `ref` is the same query on the
    single-server table (by default `sql` with `ev` read as `ev_all`);
    `markers` must stand in the Remote SQL of every foreign scan when the
    extension may be shipped, and `index` names the GiST index each shard
    must use to answer it.  A case with no markers is one that postgres_fdw
    cannot push down; it is measured and its result checked."""

    def __init__(self, name, sql, markers, index=None, ref=None):
        self.name, self.sql, self.markers, self.index = name, sql, markers, index
        self.ref = ref or re.sub(r'\bev\b', 'ev_all', sql)


def per_shard(nshards, inner, outer):
    """The two-level pattern: `inner` (with {t} for the table) runs on each
    shard, `outer` merges the union of the parts on the coordinator."""
    parts = '\n    UNION ALL\n    '.join(inner.format(t='ev_shard%d' % i)
                                        for i in range(1, nshards + 1))
    return outer.format(parts='(\n    %s\n) parts' % parts)


def cases(nshards):
    return [
        Case('set per key',
             "SELECT grp, qv_int4set_agg(v, 'r') AS s FROM ev GROUP BY grp",
             ['qv_int4set_agg(', 'GROUP BY']),
        Case('bitfield set per key',
             "SELECT grp, qv_int4set_agg_optimized(v, %d, 'm') AS s FROM ev GROUP BY grp"
             % (MAXV - 1),
             ['qv_int4set_agg_optimized(', 'GROUP BY']),
        Case('single value per key',
             'SELECT grp, qv_agg_keep_single(region) AS region, count(*) FROM ev GROUP BY grp',
             ['qv_agg_keep_single(', 'GROUP BY']),
        Case('packed-range overlap',
             'SELECT grp, v, span FROM ev WHERE span && qv_range_pack(500000, 500999)',
             ['OPERATOR(public.&&)'], index='ev_span_gist'),
        Case('membership in a range array',
             "SELECT grp, v FROM ev WHERE v <<@ '{1000,1099,250000,250199}'::int4[]",
             ['OPERATOR(public.<<@)'], index='ev_v_gist'),
        Case('membership in a bitfield',
             "SELECT grp, v FROM ev WHERE v <@ "
             "qv_int4set2bitfield_int4('r', '{4000,4099,4500,4549}')",
             ['OPERATOR(public.<@)'], index='ev_v_gist'),
        Case('predicate function',
             "SELECT grp, span FROM ev WHERE "
             "qv_int4rangepacked_in_rangearray(span, '{10000,10500,900000,900100}')",
             ['qv_int4rangepacked_in_rangearray(']),
        Case('filtered set per key',
             "SELECT grp, qv_int4set_agg(v, 's') AS s, count(*) FROM ev "
             "WHERE span &&& '{300000,302000,600000,601000}'::int4[] GROUP BY grp",
             ['qv_int4set_agg(', 'OPERATOR(public.&&&)'], index='ev_span_gist'),
        Case('set over all shards',
             per_shard(nshards, "SELECT qv_int4set_agg(v, 'r') AS part FROM {t}",
                       "SELECT qv_int4set_agg('r', part, 'r') AS s FROM {parts}"),
             ['qv_int4set_agg('],
             ref="SELECT qv_int4set_agg(v, 'r') AS s FROM ev_all"),
        Case('set per other column, two levels',
             per_shard(nshards,
                       "SELECT cat, qv_int4set_agg(v, 'r') AS part FROM {t} GROUP BY cat",
                       "SELECT cat, qv_int4set_agg('r', part, 'r') AS s FROM {parts}\n"
                       "GROUP BY cat"),
             ['qv_int4set_agg(', 'GROUP BY'],
             ref="SELECT cat, qv_int4set_agg(v, 'r') AS s FROM ev_all GROUP BY cat"),
        Case('single value per other column, two levels',
             per_shard(nshards,
                       "SELECT region, qv_agg_keep_single(grp % 17) AS part FROM {t} "
                       "GROUP BY region",
                       "SELECT region, qv_agg_keep_single(part) AS r FROM {parts}\n"
                       "GROUP BY region"),
             ['qv_agg_keep_single(', 'GROUP BY'],
             ref="SELECT region, qv_agg_keep_single(grp % 17) AS r FROM ev_all GROUP BY region"),
        Case('set per other column, one level',
             "SELECT cat, qv_int4set_agg(v, 'r') AS s FROM ev GROUP BY cat", []),
    ]


def rows_sql(rows):
    """Pseudo-random but repeatable rows; region depends on grp alone."""
    return """SELECT 1 + h1 %% %(g)d AS grp, 1 + h2 %% %(c)d AS cat, h3 %% %(m)d AS v,
               qv_range_pack(h4 %% (%(m)d - 1000), h4 %% (%(m)d - 1000) + h2 %% 1000) AS span,
               'region-' || (1 + h1 %% %(g)d) %% 17 AS region
        FROM (SELECT (hashint4extended(i, 1) & 2147483647)::int4 AS h1,
                     (hashint4extended(i, 2) & 2147483647)::int4 AS h2,
                     (hashint4extended(i, 3) & 2147483647)::int4 AS h3,
                     (hashint4extended(i, 4) & 2147483647)::int4 AS h4
              FROM generate_series(1, %(n)d) i) h""" % dict(g=GROUPS, c=CATEGORIES, m=MAXV, n=rows)


class Cluster:
    def __init__(self, coordinator, shards):
        self.shard_targets = shards
        self.coord = connect(coordinator)
        self.shards = [connect(s) for s in shards]

    def build(self, rows):
        n = len(self.shards)
        say('creating the shards and %d rows' % rows)
        for conn in self.shards:
            run(conn, 'CREATE EXTENSION %s' % EXTENSION)
            run(conn, 'CREATE TABLE ev (%s)' % COLUMNS)
        c = self.coord
        run(c, 'CREATE EXTENSION postgres_fdw')
        run(c, 'CREATE EXTENSION %s' % EXTENSION)
        run(c, 'CREATE TABLE ev (%s) PARTITION BY HASH (grp)' % COLUMNS)
        for i, target in enumerate(self.shard_targets, 1):
            host, port = target.rsplit(':', 1)
            run(c, "CREATE SERVER shard%d FOREIGN DATA WRAPPER postgres_fdw OPTIONS ("
                   "host '%s', port '%s', dbname 'postgres', extensions '%s', "
                   "fetch_size '10000', async_capable 'true')"
                   % (i, host, port, EXTENSION))
            run(c, "CREATE USER MAPPING FOR postgres SERVER shard%d OPTIONS (user 'postgres')" % i)
            run(c, "CREATE FOREIGN TABLE ev_shard%d PARTITION OF ev "
                   "FOR VALUES WITH (MODULUS %d, REMAINDER %d) "
                   "SERVER shard%d OPTIONS (table_name 'ev')" % (i, n, i - 1, i))
        # Each server makes its rows itself, all at once: the coordinator all
        # of them, each shard those that the coordinator's hash partitioning
        # routes to it (an empty table partitioned like `ev` lends the
        # partition test the same hash function).
        say('making the rows on every server')
        gen = rows_sql(rows)

        failures = []

        def fill(i, conn):
            try:
                fill_one(i, conn)
            except psycopg2.Error as e:
                failures.append(e)

        def fill_one(i, conn):
            if conn is c:
                run(c, 'CREATE TABLE ev_all AS ' + gen)
                run(c, 'VACUUM ANALYZE ev_all')
                return
            run(conn, 'CREATE TABLE ev_key (grp int4) PARTITION BY HASH (grp)')
            run(conn, "INSERT INTO ev SELECT * FROM (%s) g "
                      "WHERE satisfies_hash_partition('ev_key'::regclass, %d, %d, grp)"
                      % (gen, n, i - 1))
            run(conn, 'DROP TABLE ev_key')
            run(conn, 'CREATE INDEX ev_v_gist ON ev USING gist (v qv_gist_range_int4_ops)')
            run(conn, 'CREATE INDEX ev_span_gist ON ev USING gist (span qv_gist_range_int8_ops)')
            run(conn, 'VACUUM ANALYZE ev')

        workers = [threading.Thread(target=fill, args=(i, conn))
                   for i, conn in enumerate([c] + self.shards)]
        for w in workers:
            w.start()
        for w in workers:
            w.join()
        if failures:
            raise failures[0]
        for i in range(1, n + 1):
            run(c, 'ANALYZE ev_shard%d' % i)
        run(c, 'SET enable_partitionwise_aggregate = on')

    def stop_shipping(self):
        """Drops the extension from every foreign server's options."""
        for i in range(1, len(self.shards) + 1):
            run(self.coord, 'ALTER SERVER shard%d OPTIONS (DROP extensions)' % i)

    def foreign_scans(self, sql, analyze=False):
        """The foreign scan nodes of the coordinator's plan, each with the
        number of the shard it reads."""
        opts = 'ANALYZE, TIMING OFF, VERBOSE, FORMAT JSON' if analyze else 'VERBOSE, FORMAT JSON'
        plan = run(self.coord, 'EXPLAIN (%s) %s' % (opts, sql))[0][0][0]['Plan']
        scans = []
        for node in walk(plan):
            if node['Node Type'] == 'Foreign Scan':
                own = {k: v for k, v in node.items() if k != 'Plans'}
                node['shard'] = int(re.search(r'ev_shard(\d+)', json.dumps(own)).group(1))
                scans.append(node)
        return scans

    def shard_plan(self, scan, fmt='JSON'):
        return run(self.shards[scan['shard'] - 1],
                   'EXPLAIN (FORMAT %s) %s' % (fmt, scan['Remote SQL']))

    def differences(self, sql, ref):
        """Rows of the query and of the reference, and how many rows of one
        are missing from the other (0 when the results are equal)."""
        c = self.coord
        run(c, 'DROP TABLE IF EXISTS got, want')
        run(c, 'CREATE TEMP TABLE got AS %s' % sql)
        run(c, 'CREATE TEMP TABLE want AS %s' % ref)
        return run(c, """SELECT (SELECT count(*) FROM got), (SELECT count(*) FROM want),
            (SELECT count(*) FROM ((TABLE got EXCEPT ALL TABLE want)
                                   UNION ALL (TABLE want EXCEPT ALL TABLE got)) d)""")[0]

    def measure(self, sql, reps):
        """Rows moved to the coordinator and the best time of `reps` runs of
        EXPLAIN ANALYZE (without per-node timing): the coordinator fetches
        and processes every row as for the query itself, but sends the
        client no result, which is the same in both modes."""
        best = None
        for _ in range(reps):
            start = time.monotonic()
            scans = self.foreign_scans(sql, analyze=True)
            took = time.monotonic() - start
            best = took if best is None else min(best, took)
        return rows_moved(scans), best


def walk(node):
    yield node
    for child in node.get('Plans', []):
        yield from walk(child)


def rows_moved(scans):
    """Rows the foreign scans fetched from the shards, including those that
    a local filter then removed."""
    return sum(int((s['Actual Rows'] + s.get('Rows Removed by Filter', 0)) * s['Actual Loops'])
               for s in scans)


START = time.monotonic()


def say(msg):
    print('==> %s (%.0f s)' % (msg, time.monotonic() - START), file=sys.stderr, flush=True)


class Checks:
    def __init__(self, verbose):
        self.passed, self.failed, self.verbose = 0, 0, verbose

    def record(self, case, what, problem):
        if problem:
            self.failed += 1
            print('FAILED %s: %s: %s' % (case.name, what, problem), flush=True)
        else:
            self.passed += 1
            if not self.verbose:
                print('ok %s: %s' % (case.name, what), flush=True)


def plan_problem(cluster, case, scans, pushed):
    nshards = len(cluster.shards)
    if len(scans) != nshards:
        return '%d foreign scans for %d shards' % (len(scans), nshards)
    for s in scans:
        sql = s.get('Remote SQL', '')
        missing = [m for m in case.markers if m not in sql]
        if pushed and missing:
            return 'shard %d is not sent %s: %s' % (s['shard'], ', '.join(missing), sql)
        if not pushed and case.markers and not missing:
            return 'shard %d is still sent the extension: %s' % (s['shard'], sql)
    return None


def index_problem(cluster, case, scans):
    for s in scans:
        plan = cluster.shard_plan(s)[0][0][0]['Plan']
        if not any(n.get('Index Name') == case.index for n in walk(plan)):
            return 'shard %d does not use %s' % (s['shard'], case.index)
    return None


def result_problem(cluster, case):
    got, want, diff = cluster.differences(case.sql, case.ref)
    if want == 0:
        return 'the reference query returns no row'
    if diff:
        return '%d rows against %d, %d differ' % (got, want, diff)
    return None


def show(cluster, case):
    print('\n' + '=' * 78 + '\n-- %s\n%s;\n' % (case.name, case.sql))
    for (line,) in run(cluster.coord, 'EXPLAIN (VERBOSE) ' + case.sql):
        print(line)
    scans = cluster.foreign_scans(case.sql)
    if scans and case.markers:
        print('\n-- plan of shard %d for its Remote SQL' % scans[0]['shard'])
        for (line,) in cluster.shard_plan(scans[0], 'TEXT'):
            print(line)
    rows = run(cluster.coord, case.sql)
    print('\n-- %d rows; the first ones:' % len(rows))
    for row in rows[:3]:
        text = ' | '.join(str(v) for v in row)
        print(text if len(text) <= 100 else text[:97] + '...')


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('--coordinator', required=True)
    ap.add_argument('--shard', action='append', required=True)
    ap.add_argument('--rows', type=int, default=2000000)
    ap.add_argument('--reps', type=int, default=0,
                    help='timed runs per query and mode (default 1 with --check, else 3)')
    ap.add_argument('--check', action='store_true')
    args = ap.parse_args()
    reps = args.reps or (1 if args.check else 3)

    cluster = Cluster(args.coordinator, args.shard)
    cluster.build(args.rows)
    all_cases = cases(len(args.shard))
    checks = Checks(verbose=not args.check)
    measured = {}
    for mode in ('shipped', 'local'):
        pushed = mode == 'shipped'
        if not pushed:
            cluster.stop_shipping()
        say('%s: %s' % (mode, 'the extension is named in the foreign servers' if pushed
                        else 'no extensions option: nothing of the extension is shipped'))
        for case in all_cases:
            if pushed and not args.check:
                show(cluster, case)
            scans = cluster.foreign_scans(case.sql)
            checks.record(case, mode + ' plan', plan_problem(cluster, case, scans, pushed))
            if pushed and case.index:
                checks.record(case, 'shard index', index_problem(cluster, case, scans))
            if pushed:
                checks.record(case, 'result', result_problem(cluster, case))
            measured[case.name, mode] = cluster.measure(case.sql, reps)

    print('\nrows moved to the coordinator and time (best of %d), %d rows on %d shards'
          % (reps, args.rows, len(args.shard)))
    print('%-42s %12s %12s %9s %9s %7s' % ('query', 'rows shipped', 'rows local',
                                           's shipped', 's local', 'ratio'))
    for case in all_cases:
        (m1, t1), (m2, t2) = measured[case.name, 'shipped'], measured[case.name, 'local']
        print('%-42s %12d %12d %9.3f %9.3f %7.1f' % (case.name, m1, m2, t1, t2, t2 / t1))
    print('scaleout: %d passed, %d failed' % (checks.passed, checks.failed))
    return 1 if checks.failed else 0


if __name__ == '__main__':
    sys.exit(main())
