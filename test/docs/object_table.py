#!/usr/bin/env python3
"""The table of every SQL object of the extension at the top of
docs/reference.md, made from the catalog: functions, aggregates, operators
and operator classes with their signature, result, null handling, labels,
comment and the release that added them (an object absent from a database
where the first release is installed is new in the current one).

  object_table.py --write   rewrites the table between its markers
  object_table.py           checks that the table is current (exit 1 if not)

Connection from the usual PG* variables; it creates and drops two scratch
databases.
"""
import os
import sys

import psycopg2

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
DOC = os.path.join(ROOT, "docs", "reference.md")
BEGIN, END = "<!-- objects:begin -->", "<!-- objects:end -->"
FIRST = "2.0"

OBJECTS = """
WITH ext AS (SELECT oid, extversion FROM pg_extension WHERE extname = 'tarvox_range_operators'),
members AS (SELECT d.classid, d.objid FROM pg_depend d, ext
            WHERE d.refclassid = 'pg_extension'::regclass AND d.refobjid = ext.oid AND d.deptype = 'e')
SELECT kind, ident, result, nulls, labels, coalesce(obj_description(oid, cat), '') FROM (
    SELECT CASE WHEN a.aggfnoid IS NULL THEN 'function' ELSE 'aggregate' END AS kind,
           p.oid::regprocedure::text AS ident,
           CASE WHEN p.proretset THEN 'setof ' ELSE '' END || format_type(p.prorettype, NULL) AS result,
           CASE WHEN a.aggfnoid IS NOT NULL THEN 'aggregate'
                WHEN p.proisstrict THEN 'strict' ELSE 'called' END AS nulls,
           concat_ws(' ', CASE p.provolatile WHEN 'i' THEN 'immutable' WHEN 's' THEN 'stable' ELSE 'volatile' END,
                     CASE p.proparallel WHEN 's' THEN 'parallel safe' WHEN 'r' THEN 'parallel restricted'
                          ELSE 'parallel unsafe' END) AS labels,
           p.oid, 'pg_proc' AS cat
    FROM pg_proc p JOIN members m ON m.classid = 'pg_proc'::regclass AND m.objid = p.oid
    LEFT JOIN pg_aggregate a ON a.aggfnoid = p.oid
    WHERE NOT EXISTS (SELECT 1 FROM pg_type t WHERE t.oid = ANY (p.proargtypes) AND t.typname = 'internal')
       OR a.aggfnoid IS NOT NULL
    UNION ALL
    SELECT 'operator', o.oid::regoperator::text, format_type(o.oprresult, NULL),
           'strict', 'via ' || o.oprcode::text, o.oid, 'pg_operator'
    FROM pg_operator o JOIN members m ON m.classid = 'pg_operator'::regclass AND m.objid = o.oid
    UNION ALL
    SELECT 'operator class', c.opcname || ' (' || am.amname || ', ' || format_type(c.opcintype, NULL) || ')',
           '', '', CASE WHEN c.opcdefault THEN 'default' ELSE 'not default' END, c.oid, 'pg_opclass'
    FROM pg_opclass c JOIN members m ON m.classid = 'pg_opclass'::regclass AND m.objid = c.oid
    JOIN pg_am am ON am.oid = c.opcmethod
) o ORDER BY array_position(ARRAY['function', 'aggregate', 'operator', 'operator class'], kind), ident
"""


def objects(dbname, version=None):
    conn = psycopg2.connect(dbname=dbname)
    conn.autocommit = True
    cur = conn.cursor()
    cur.execute("CREATE EXTENSION tarvox_range_operators" + (" VERSION '%s'" % version if version else ""))
    cur.execute(OBJECTS)
    rows = cur.fetchall()
    conn.close()
    return rows


def table():
    admin = psycopg2.connect(dbname=os.environ.get("PGDATABASE", "postgres"))
    admin.autocommit = True
    cur = admin.cursor()
    for db in ("qv_objects_now", "qv_objects_first"):
        cur.execute("DROP DATABASE IF EXISTS " + db)
        cur.execute("CREATE DATABASE " + db)
    try:
        now = objects("qv_objects_now")
        first = {(r[0], r[1]) for r in objects("qv_objects_first", FIRST)}
        cur.execute("SELECT default_version FROM pg_available_extensions "
                    "WHERE name = 'tarvox_range_operators'")
        current = cur.fetchone()[0]
    finally:
        for db in ("qv_objects_now", "qv_objects_first"):
            cur.execute("DROP DATABASE IF EXISTS " + db)
    lines = ["| object | signature | result | nulls | labels | description | added |",
             "|---|---|---|---|---|---|---|"]
    for kind, ident, result, nulls, labels, comment in now:
        added = FIRST if (kind, ident) in first else current
        cell = lambda s: s.replace("|", "\\|")
        lines.append("| %s | `%s` | %s | %s | %s | %s | %s |" % (
            kind, cell(ident), cell(result) and "`%s`" % cell(result), nulls, labels, cell(comment), added))
    return "\n".join(lines)


def main():
    text = open(DOC, encoding="utf-8").read()
    if BEGIN not in text or END not in text:
        print("object table: markers missing in docs/reference.md")
        return 1
    head, rest = text.split(BEGIN, 1)
    old, tail = rest.split(END, 1)
    new = "\n" + table() + "\n"
    if "--write" in sys.argv:
        open(DOC, "w", encoding="utf-8").write(head + BEGIN + new + END + tail)
        print("object table: written")
        return 0
    if old == new:
        print("object table: current")
        return 0
    print("object table: out of date (test/docs/object_table.py --write); differences:")
    import difflib
    for d in difflib.unified_diff(old.split("\n"), new.split("\n"), "docs", "catalog", lineterm="", n=0):
        print("  " + d)
    return 1


if __name__ == "__main__":
    sys.exit(main())
