#!/usr/bin/env python3
"""Runs the SQL examples of the README and docs/ and compares each result
with the one written beside it.

In every ```sql block, statements run in order in one database per file (a
fresh one, with the extension created).  A statement whose last line ends in
`-- RESULT` is checked: one row prints its columns joined by ", ", several
rows by "; ", none as "(no rows)"; `true`/`false`/`null` as written; `ERROR` (optionally with the
SQLSTATE and ": message") expects the statement to fail that way.  Other
statements must just succeed; `CREATE EXTENSION tarvox_range_operators`
is taken as done.  A block preceded by `<!-- no-check -->` is not
run (examples over tables the reader has, and the like).

Connection from the usual PG* variables.  Prints one line per file (a file is
one test) and "docs: N passed, M failed"; exits non-zero on any failure.
"""
import os
import re
import sys

import psycopg2
import psycopg2.extensions as ext

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
END = re.compile(r"^(.*?;)\s*(?:--\s*(.*?))?\s*$")


def blocks(path):
    """Yields the ```sql blocks of a Markdown file as lists of lines."""
    lines = open(path, encoding="utf-8").read().split("\n")
    skip = False
    i = 0
    while i < len(lines):
        line = lines[i]
        if line.strip() == "<!-- no-check -->":
            skip = True
        elif line.startswith("```sql"):
            j = i + 1
            while j < len(lines) and not lines[j].startswith("```"):
                j += 1
            if not skip:
                yield i + 1, lines[i + 1:j]
            skip = False
            i = j
        elif line.strip():
            skip = skip and line.strip() == "<!-- no-check -->"
        i += 1


def statements(block):
    """Splits a block into (statement, expected or None)."""
    text = []
    for line in block:
        m = END.match(line)
        if m and not line.lstrip().startswith("--"):
            text.append(m.group(1))
            yield "\n".join(text), m.group(2)
            text = []
        elif not line.lstrip().startswith("--") and line.strip():
            text.append(line)


def render(value):
    if value is None:
        return "null"
    return {"t": "true", "f": "false"}.get(value, value)


def check(cur, sql, expected):
    """Returns None when the statement gives what is written, else why not."""
    cur.execute("SAVEPOINT s")
    try:
        cur.execute(sql)
        rows = cur.fetchall() if cur.description else []
    except psycopg2.Error as e:
        cur.execute("ROLLBACK TO SAVEPOINT s")
        got = "ERROR %s: %s" % (e.pgcode, e.diag.message_primary)
        if expected and expected.upper().startswith("ERROR"):
            want = expected[5:].strip()
            code, _, msg = want.partition(":")
            if code.strip() and code.strip() != e.pgcode:
                return got
            if msg.strip() and msg.strip() != e.diag.message_primary.strip():
                return got
            return None
        return got
    if expected is None:
        return None
    got = "; ".join(", ".join(render(v) for v in row) for row in rows)
    if expected.upper().startswith("ERROR"):
        return got or "no error"
    if not rows and expected.strip() == "(no rows)":
        return None
    return None if got == expected.strip() else got


def main():
    files = [os.path.join(ROOT, "README.md")] + sorted(
        os.path.join(ROOT, "docs", f) for f in os.listdir(os.path.join(ROOT, "docs"))
        if f.endswith(".md"))
    admin = psycopg2.connect(dbname=os.environ.get("PGDATABASE", "postgres"))
    admin.autocommit = True
    passed = failed = 0
    for path in files:
        name = os.path.relpath(path, ROOT)
        # the database is made with the extension, as each page assumes
        todo = [(line, s, e) for line, b in blocks(path) for s, e in statements(b)
                if not re.match(r"(?i)CREATE EXTENSION( IF NOT EXISTS)? tarvox_range_operators;$", s)]
        if not todo:
            continue
        with admin.cursor() as c:
            c.execute("DROP DATABASE IF EXISTS qv_docs")
            c.execute("CREATE DATABASE qv_docs")
        conn = psycopg2.connect(dbname="qv_docs")
        conn.autocommit = True
        cur = conn.cursor()
        cur.execute("SELECT array_agg(oid) FROM pg_type")
        raw = ext.new_type(tuple(cur.fetchone()[0]), "QV_RAW", lambda v, c: v)
        ext.register_type(raw, conn)
        cur.execute("CREATE EXTENSION tarvox_range_operators")
        cur.execute("BEGIN")
        bad = 0
        for line, sql, expected in todo:
            why = check(cur, sql, expected)
            if why is not None:
                bad += 1
                print("  %s (block at line %d): %s\n    wrote: %s\n    got:   %s"
                      % (name, line, sql.replace("\n", " ")[:160], expected, why))
        cur.execute("ROLLBACK")
        conn.close()
        print("docs %s: %d examples, %s" % (name, len(todo), "ok" if not bad else "%d FAILED" % bad))
        passed += 0 if bad else 1
        failed += 1 if bad else 0
    with admin.cursor() as c:
        c.execute("DROP DATABASE IF EXISTS qv_docs")
    print("docs: %d passed, %d failed" % (passed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
