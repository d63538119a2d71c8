#!/usr/bin/env python3
"""The crash test's writer: one row per transaction, each key noted in FILE
once its commit is acknowledged, reconnecting whenever the server goes away.
Every key in FILE must survive the crash.  Usage: acked_writer.py FILE
(connection from the PG* variables)."""
import sys
import time

import psycopg2

out = open(sys.argv[1], "a", buffering=1)
sql = """WITH k AS (SELECT nextval($$qv_ids$$) AS id, qv_rel_value(random()) AS v),
              a AS (INSERT INTO qv_acked SELECT id FROM k),
              l AS (INSERT INTO qv_ledger SELECT id, v, qv_rel_span(v, 100) FROM k RETURNING *),
              p AS (INSERT INTO qv_pts SELECT id, v FROM l)
         INSERT INTO qv_spans SELECT id, span FROM l RETURNING id"""
while True:
    try:
        conn = psycopg2.connect("")
        conn.autocommit = True
        cur = conn.cursor()
        while True:
            cur.execute(sql)
            out.write("%d\n" % cur.fetchone()[0])
    except psycopg2.Error:
        time.sleep(0.2)
