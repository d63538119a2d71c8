-- Checks run after the load and after each crash (psql variables: n, seed).
-- Every operator of the three operator classes answers n searches (the first
-- over the whole int4 domain, the second at its upper end) with the index
-- forced and with a sequential scan; both bitmap and index-only reads.
-- (The bitfield's first search covers every value the load writes but the
-- ends of the domain.)
-- Prints the comparisons, the rows they returned, the disagreements and
-- the operators whose forced plan did not use their index; then the rows
-- on which the data tables and the ledger disagree.
CREATE OR REPLACE FUNCTION pg_temp.qv_rel_check(n int, seed float8, OUT comparisons bigint,
    OUT rows_compared bigint, OUT mismatches bigint, OUT unindexed text)
LANGUAGE plpgsql AS $$
DECLARE
    s record; q text; sel text; got text; want text; plan text;
    a int8; b int8; c int8; d int8;
BEGIN
    PERFORM setseed(seed);
    comparisons := 0; rows_compared := 0; mismatches := 0; unindexed := '';
    FOR k IN 1..13 LOOP
        FOR i IN 1..n LOOP
            c := NULL; d := NULL;
            IF i = 1 AND k = 2 THEN
                -- a bitfield of the whole domain would take 512 MB
                a := -1100000; b := 1100000;
            ELSIF i = 1 THEN
                a := -2147483648; b := 2147483647;
            ELSE
                a := CASE WHEN i = 2 THEN 2147483000 ELSE floor(random() * 2200000) - 1100000 END;
                b := least(a + floor(random() ^ 3 * 300000), 2147483647);
                IF b < 2147483645 THEN
                    c := b + 2 + floor(random() * least(100000, 2147483645 - b));
                    d := least(c + floor(random() * 50000), 2147483647);
                END IF;
            END IF;
            SELECT * INTO s FROM qv_rel_search(k, a, b, c, d);
            -- a bitmap scan, then an index-only scan (keys fetched from the index;
            -- the range-array class has none)
            FOREACH sel IN ARRAY (ARRAY['count(*) || '':'' || coalesce(sum(id), 0)',
                                        format('count(*) || '':'' || coalesce(sum(%s), 0)', s.col)])[1:CASE WHEN k <= 8 THEN 2 ELSE 1 END] LOOP
                q := format('SELECT %s FROM %s WHERE %s %s', sel, s.tbl, s.col, s.cond);
                PERFORM set_config('enable_seqscan', 'off', true);
                PERFORM set_config('enable_indexscan', 'on', true);
                PERFORM set_config('enable_bitmapscan', CASE WHEN sel LIKE '%(id)%' THEN 'on' ELSE 'off' END, true);
                PERFORM set_config('enable_indexonlyscan', 'on', true);
                IF i = 1 THEN
                    FOR plan IN EXECUTE 'EXPLAIN (COSTS OFF) ' || q LOOP
                        EXIT WHEN plan LIKE '%' || s.idx || '%';
                    END LOOP;
                    IF plan NOT LIKE '%' || s.idx || '%' THEN
                        unindexed := unindexed || s.col || ' ' || s.cond || '; ';
                    END IF;
                END IF;
                EXECUTE q INTO got;
                PERFORM set_config('enable_seqscan', 'on', true);
                PERFORM set_config('enable_indexscan', 'off', true);
                PERFORM set_config('enable_bitmapscan', 'off', true);
                PERFORM set_config('enable_indexonlyscan', 'off', true);
                EXECUTE q INTO want;
                comparisons := comparisons + 1;
                rows_compared := rows_compared + split_part(want, ':', 1)::bigint;
                IF got IS DISTINCT FROM want THEN
                    mismatches := mismatches + 1;
                    RAISE WARNING 'index and sequential scan disagree: % gives % and %', q, got, want;
                END IF;
            END LOOP;
        END LOOP;
    END LOOP;
    PERFORM set_config(x, 'on', true)
    FROM unnest(ARRAY['enable_seqscan', 'enable_indexscan', 'enable_bitmapscan', 'enable_indexonlyscan']) x;
END $$;

SELECT 'compare', * FROM pg_temp.qv_rel_check(:n, :seed);
SELECT 'ledger', count(*)
FROM qv_ledger l FULL JOIN qv_pts p USING (id) FULL JOIN qv_spans s USING (id)
WHERE l.v IS DISTINCT FROM p.v OR l.span IS DISTINCT FROM s.span;
SELECT 'mismatch', count(*) FROM qv_mismatch;
