#!/usr/bin/python3
"""SQL-level fuzzer of the extension: calls every function and aggregate of
tarvox_range_operators through a running server with generated arguments.

The functions are discovered from pg_proc (members of the extension), so a
function added later is called too.  Arguments come from generators per
declared type, coupled where one argument names the encoding of the next,
and mixed from valid, boundary and malformed values.  After every call:

* the backend must still be alive (a lost connection is a crash);
* an error must carry one of the extension's SQLSTATEs, or one of the few
  that the server raises on arguments before the extension is called;
* where a reference model exists here, the result must match it.

Every GiST operator class of the extension is exercised too: an index is
built and filled (page splits run the picksplit), a key it must refuse is
inserted, and each operator is answered by an index scan and by a
sequential scan, whose counts must agree for canonical query values (for
the range-array column's class, for every query value).

By default every signature is called equally often; --balance time gives
each the same share of time instead, for long campaigns of many calls.

Usage: sqlfuzz.py [--seconds N] [--seed S] [--balance calls|time] [--verbose]
Connects with the libpq environment (PGHOST, PGPORT, PGUSER, PGDATABASE).
Prints per-function counts and one closing line
"sqlfuzz: N calls, C crashes, W wrong results, U unexpected errors"; exits
non-zero when any of the last three is non-zero.
"""
import argparse
import heapq
import random
import struct
import sys
import time

import psycopg2

import generators as gen
import reference as ref

# SQLSTATEs the extension raises.
EXTENSION_STATES = {'02000', '22003', '22015', '22023', '22P02', '22P03', '42804', '53200', 'XX002'}
# SQLSTATEs the server raises on an argument before the extension runs:
# text input of a literal (22P02), an int out of range in a cast (22003),
# array literal dimensions (2202E), array size limits (54000).
SERVER_ARGUMENT_STATES = {'22P02', '22003', '2202E', '54000'}

DISCOVER = """
SELECT p.proname,
       -- prokind from PostgreSQL 11 on, proisagg before
       coalesce(to_jsonb(p) ->> 'prokind',
                CASE WHEN (to_jsonb(p) ->> 'proisagg')::bool THEN 'a' ELSE 'f' END),
       array(SELECT format_type(t, NULL) FROM unnest(p.proargtypes) AS t) AS args,
       format_type(p.prorettype, NULL) AS ret, p.proisstrict,
       coalesce(a.aggcombinefn <> 0, false) AS parallel
FROM pg_proc p
LEFT JOIN pg_aggregate a ON a.aggfnoid = p.oid
JOIN pg_depend d ON d.classid = 'pg_proc'::regclass AND d.objid = p.oid
                AND d.refclassid = 'pg_extension'::regclass AND d.deptype = 'e'
JOIN pg_extension e ON e.oid = d.refobjid AND e.extname = 'tarvox_range_operators'
ORDER BY p.proname, p.oid
"""


OPCLASSES = """
SELECT c.opcname, format_type(c.opcintype, NULL), o.amopstrategy, op.oprname,
       format_type(o.amoprighttype, NULL)
FROM pg_opclass c
JOIN pg_depend d ON d.classid = 'pg_opclass'::regclass AND d.objid = c.oid AND d.deptype = 'e'
JOIN pg_extension e ON e.oid = d.refobjid AND e.extname = 'tarvox_range_operators'
JOIN pg_amop o ON o.amopfamily = c.opcfamily AND o.amoplefttype = c.opcintype
JOIN pg_operator op ON op.oid = o.amopopr
ORDER BY 1, 3
"""


class IndexWorkload:
    """A GiST index built with one of the extension's operator classes: rows
    are inserted (page splits run the picksplit), and every operator of the
    class is answered by an index scan and by a sequential scan; the two
    counts must agree."""

    def __init__(self, opclass, column_type, operators):
        self.opclass, self.type, self.operators = opclass, column_type, operators

    def __str__(self):
        return 'gist %s (%s)' % (self.opclass, self.type)


class Signature:
    def __init__(self, name, kind, args, ret, strict, parallel):
        self.name, self.kind, self.args, self.ret, self.strict = name, kind, list(args), ret, strict
        self.parallel = parallel

    def __str__(self):
        return '%s(%s)' % (self.name, ', '.join(self.args))


class Stats:
    def __init__(self):
        self.calls = {}
        self.errors = {}
        self.crashes = []
        self.wrong = []
        self.unexpected = []
        self.checked = 0

    def count(self, sig):
        key = str(sig)
        self.calls[key] = self.calls.get(key, 0) + 1

    def error(self, sig, state):
        key = (str(sig), state)
        self.errors[key] = self.errors.get(key, 0) + 1


class Fuzzer:
    def __init__(self, seed, verbose, balance='calls'):
        self.rng = random.Random(seed)
        self.verbose = verbose
        self.balance = balance
        self.stats = Stats()
        self.conn = None
        self.connect()
        self.signatures = self.discover()
        self.indexes = self.discover_indexes()

    def connect(self, attempts=60):
        for _ in range(attempts):
            try:
                self.conn = psycopg2.connect('')
                self.conn.autocommit = True
                with self.conn.cursor() as cur:
                    cur.execute("SET statement_timeout = '20s'")
                    # floats print exactly on older servers too
                    cur.execute('SET extra_float_digits = 3')
                    # plans over the fuzzer's tables run in parallel workers,
                    # so that aggregate states travel in serialised form
                    # (settings an older server lacks are left out)
                    cur.execute("SELECT set_config(name, v, false) FROM pg_settings "
                                "JOIN (VALUES ('parallel_setup_cost', '0'), ('parallel_tuple_cost', '0'), "
                                "('min_parallel_table_scan_size', '0'), "
                                "('max_parallel_workers_per_gather', '2'), "
                                "('parallel_leader_participation', 'off')) s(n, v) ON n = name")
                    cur.execute('CREATE EXTENSION IF NOT EXISTS tarvox_range_operators')
                return
            except psycopg2.OperationalError:
                time.sleep(1)
        raise SystemExit('sqlfuzz: cannot connect to the server')

    def discover(self):
        with self.conn.cursor() as cur:
            cur.execute(DISCOVER)
            return [Signature(*row) for row in cur.fetchall()]

    def discover_indexes(self):
        with self.conn.cursor() as cur:
            cur.execute(OPCLASSES)
            found = {}
            for opclass, column_type, strategy, op, right in cur.fetchall():
                found.setdefault((opclass, column_type), []).append((strategy, op, right))
        return [IndexWorkload(c, t, ops) for (c, t), ops in sorted(found.items())]

    def statement(self, sql):
        """Runs one statement; returns ('ok', rows) or ('error', sqlstate)."""
        try:
            with self.conn.cursor() as cur:
                cur.execute(sql)
                return 'ok', (cur.fetchall() if cur.description else None)
        except (psycopg2.OperationalError, psycopg2.InterfaceError) as e:
            if self.conn.closed or not self.alive():
                return 'crash', str(e).strip()
            return 'error', e.pgcode or '?????'
        except psycopg2.Error as e:
            return 'error', e.pgcode or '?????'

    def index_round(self, w):
        """One round of an index workload; failures are recorded against it."""
        key = str(w)
        self.stats.calls[key] = self.stats.calls.get(key, 0)
        rows = gen.index_rows(self.rng, w.type)
        setup = ['DROP TABLE IF EXISTS qv_fuzz_gist',
                 'CREATE TABLE qv_fuzz_gist (k %s)' % gen.sql_type(w.type),
                 'CREATE INDEX ON qv_fuzz_gist USING gist (k %s)' % w.opclass]
        if self.rng.random() < 0.5:  # index built on existing rows, or filled row batch by batch
            setup = setup[:2] + ['INSERT INTO qv_fuzz_gist %s' % rows, setup[2]]
        else:
            setup.append('INSERT INTO qv_fuzz_gist %s' % rows)
        for sql in setup:
            self.stats.calls[key] += 1
            kind, got = self.statement(sql)
            if self.crashed(kind, key, sql, got):
                return
            if kind == 'error':
                self.classify_state(key, sql, got)
                return
        # a key the index refuses: an error, and the backend lives on
        bad = gen.refused_index_key(self.rng, w.type)
        if bad:
            sql = 'INSERT INTO qv_fuzz_gist VALUES (%s)' % bad
            self.stats.calls[key] += 1
            kind, got = self.statement(sql)
            if self.crashed(kind, key, sql, got):
                return
            if kind == 'ok' or got != '22023':
                self.stats.unexpected.append((key, sql, 'invalid key accepted or wrong error: %s' % (got,)))
                print('UNEXPECTED: %s\n  %s\n  %s' % (key, sql, got), file=sys.stderr)
        for strategy, op, right in w.operators:
            arg = gen.index_query_arg(self.rng, right)
            query = 'SELECT count(*) FROM qv_fuzz_gist WHERE k %s %s' % (op, arg.sql)
            results = []
            for scan in ('SET enable_seqscan = off; SET enable_bitmapscan = on; SET enable_indexscan = on',
                         'SET enable_seqscan = on; SET enable_bitmapscan = off; SET enable_indexscan = off'):
                self.statement(scan)
                self.stats.calls[key] += 1
                kind, got = self.statement(query)
                if self.crashed(kind, key, query, got):
                    return
                if kind == 'error':
                    self.classify_state(key, query, got)
                results.append((kind, got))
            self.statement('RESET enable_seqscan; RESET enable_bitmapscan; RESET enable_indexscan')
            # the operators trust canonical range arrays and valid packed
            # ranges; the range-array column's class answers as they do for
            # every stored set and query
            trusted = w.type == 'integer[]' or not (arg.tags & {'r-odd-order', 'packed-invalid'}) and (
                right != 'integer[]' or 'r-canon' in arg.tags or 'shape-nothing' in arg.tags)
            if not trusted:
                continue
            if results[0][0] == 'ok' and results[1][0] == 'ok' and results[0][1] != results[1][1]:
                problem = 'index scan counts %s, sequential scan %s' % (results[0][1][0][0], results[1][1][0][0])
                self.stats.wrong.append((key, query[:2000], problem))
                print('WRONG: %s (strategy %d)\n  %s\n  %s' % (key, strategy, query[:2000], problem),
                      file=sys.stderr)
            else:
                self.stats.checked += 1

    def crashed(self, kind, key, sql, got):
        """Records a lost backend and reconnects; tells whether it happened."""
        if kind != 'crash':
            return False
        self.stats.crashes.append((key, sql[:2000], got))
        print('CRASH: %s\n  %s' % (key, sql[:2000]), file=sys.stderr)
        self.reconnect()
        return True

    def classify_state(self, key, sql, state):
        self.stats.errors[(key, state)] = self.stats.errors.get((key, state), 0) + 1
        if state not in EXTENSION_STATES and state not in SERVER_ARGUMENT_STATES:
            self.stats.unexpected.append((key, sql[:2000], state))
            print('UNEXPECTED %s: %s\n  %s' % (state, key, sql[:2000]), file=sys.stderr)

    def alive(self):
        try:
            with self.conn.cursor() as cur:
                cur.execute('SELECT 1')
                return cur.fetchone()[0] == 1
        except psycopg2.Error:
            return False

    def run(self, sig, sql, check):
        """Runs one statement; returns nothing, records the outcome."""
        self.stats.count(sig)
        if self.verbose:
            print(sql[:300], file=sys.stderr)
        try:
            with self.conn.cursor() as cur:
                cur.execute(sql)
                rows = cur.fetchall()
        except (psycopg2.OperationalError, psycopg2.InterfaceError) as e:
            if self.conn.closed or not self.alive():
                self.stats.crashes.append((str(sig), sql, str(e).strip()))
                print('CRASH: %s\n  %s' % (sig, sql[:2000]), file=sys.stderr)
                self.reconnect()
                return
            self.classify_error(sig, sql, e, check)
            return
        except psycopg2.Error as e:
            self.classify_error(sig, sql, e, check)
            if not self.alive():
                self.stats.crashes.append((str(sig), sql, 'backend lost after an error'))
                self.reconnect()
            return
        self.verify(sig, sql, check, ('ok', rows[0] if rows else None))

    def verify(self, sig, sql, check, outcome):
        if check is None:
            return
        self.stats.checked += 1
        problem = check(outcome)
        if problem:
            self.stats.wrong.append((str(sig), sql, problem))
            print('WRONG: %s\n  %s\n  %s' % (sig, sql[:2000], problem), file=sys.stderr)

    def classify_error(self, sig, sql, e, check):
        state = e.pgcode or '?????'
        self.stats.error(sig, state)
        self.verify(sig, sql, check, ('error', state))
        if state == '57014':
            self.stats.unexpected.append((str(sig), sql, 'timed out'))
            print('TIMEOUT: %s\n  %s' % (sig, sql[:2000]), file=sys.stderr)
        elif state not in EXTENSION_STATES and state not in SERVER_ARGUMENT_STATES:
            msg = (e.pgerror or str(e)).strip()
            self.stats.unexpected.append((str(sig), sql, '%s %s' % (state, msg)))
            print('UNEXPECTED %s: %s\n  %s\n  %s' % (state, sig, sql[:2000], msg), file=sys.stderr)

    def reconnect(self):
        try:
            self.conn.close()
        except psycopg2.Error:
            pass
        time.sleep(1)
        self.connect()

    def one_call(self, sig):
        if sig.kind == 'a':
            table = None
            if sig.parallel and self.rng.random() < 0.15:
                table = 'qv_fuzz_rows'
            setup, sql, check = gen.aggregate_call(self.rng, sig, table)
            try:
                with self.conn.cursor() as cur:
                    for statement in setup:
                        cur.execute(statement)
            except psycopg2.Error as e:
                self.stats.unexpected.append((str(sig), ';'.join(setup)[:2000], 'set-up failed: %s' % e))
                print('SET-UP FAILED: %s\n  %s' % (sig, e), file=sys.stderr)
                if not self.alive():
                    self.reconnect()
                return
        else:
            sql, check = gen.function_call(self.rng, sig)
        self.run(sig, sql, check)

    def campaign(self, seconds):
        deadline = time.time() + seconds
        # functions over internal values (aggregate and index support) cannot
        # be called from SQL; they run inside the aggregates and indexes.  The
        # catalog repair is an administrator's command over the catalog, not
        # over sets.
        sigs = [s for s in self.signatures if s.kind in ('f', 'a') and 'internal' not in s.args
                and s.name != 'qv_repair_catalog']
        if not sigs:
            raise SystemExit('sqlfuzz: the extension has no functions')
        # every signature once with each fixed case first, then at random
        for sig in sigs:
            for sql, check in gen.fixed_cases(sig):
                self.run(sig, sql, check)
        if self.balance == 'time':
            self.time_balanced(sigs, deadline)
            return
        while time.time() < deadline:
            for sig in sigs:
                self.one_call(sig)
            for w in self.indexes:
                if self.rng.random() < 0.3:
                    self.index_round(w)
            self.rng.shuffle(sigs)

    def time_balanced(self, sigs, deadline):
        """Gives every signature and index workload the same share of the
        time rather than the same number of calls: cheap functions are
        called far more often, costly ones (large results, index builds)
        still regularly.  Each step runs the one that has used least time."""
        work = [(0.0, i, s) for i, s in enumerate(sigs + self.indexes)]
        heapq.heapify(work)
        while time.time() < deadline:
            used, i, w = heapq.heappop(work)
            started = time.time()
            if isinstance(w, IndexWorkload):
                self.index_round(w)
            else:
                self.one_call(w)
            heapq.heappush(work, (used + time.time() - started, i, w))


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('--seconds', type=float, default=180)
    ap.add_argument('--seed', type=int, default=None)
    ap.add_argument('--verbose', action='store_true')
    ap.add_argument('--balance', choices=('calls', 'time'), default='calls',
                    help='share out calls (every signature equally often) or time')
    opts = ap.parse_args()
    seed = opts.seed if opts.seed is not None else random.randrange(1 << 31)
    print('sqlfuzz: seed %d, %g seconds' % (seed, opts.seconds), file=sys.stderr)
    f = Fuzzer(seed, opts.verbose, opts.balance)
    f.campaign(opts.seconds)
    s = f.stats
    total = sum(s.calls.values())
    for key in sorted(s.calls):
        errs = ', '.join('%s x%d' % (st, n) for (k, st), n in sorted(s.errors.items()) if k == key)
        print('  %-90s %6d calls%s' % (key, s.calls[key], ('; errors ' + errs) if errs else ''))
    print('sqlfuzz: %d calls (%d results checked), %d crashes, %d wrong results, %d unexpected errors'
          % (total, s.checked, len(s.crashes), len(s.wrong), len(s.unexpected)))
    return 1 if (s.crashes or s.wrong or s.unexpected) else 0


if __name__ == '__main__':
    sys.exit(main())
