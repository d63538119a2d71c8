-- Checks run after the load and after each crash (psql variables: n, seed).
-- Every operator of both operator classes answers n searches (the first
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
    ops text[] := ARRAY[
        'qv_pts|v|qv_pts_v|<@|%A', 'qv_pts|v|qv_pts_v|<@|qv_int4set2bitfield_int4(''r'', %A)',
        'qv_pts|v|qv_pts_v|<@|%P', 'qv_spans|span|qv_spans_span|&&|%A',
        'qv_spans|span|qv_spans_span|&&|%P', 'qv_spans|span|qv_spans_span|<@|%P',
        'qv_spans|span|qv_spans_span|@>|%P', 'qv_spans|span|qv_spans_span|@>|%V'];
    op text; p text[]; arr text; arg text; q text; sel text; got text; want text; plan text;
    a int8; b int8; c int8; d int8;
BEGIN
    PERFORM setseed(seed);
    comparisons := 0; rows_compared := 0; mismatches := 0; unindexed := '';
    FOREACH op IN ARRAY ops LOOP
        p := string_to_array(op, '|');
        FOR i IN 1..n LOOP
            IF i = 1 AND p[5] LIKE '%bitfield%' THEN
                -- a bitfield of the whole domain would take 512 MB
                a := -1100000; b := 1100000; arr := format('ARRAY[%s, %s]', a, b);
            ELSIF i = 1 THEN
                a := -2147483648; b := 2147483647; arr := format('ARRAY[%s, %s]', a, b);
            ELSE
                a := CASE WHEN i = 2 THEN 2147483000 ELSE floor(random() * 2200000) - 1100000 END;
                b := least(a + floor(random() ^ 3 * 300000), 2147483647);
                c := least(b + 2 + floor(random() * 100000), 2147483647);
                d := least(c + floor(random() * 50000), 2147483647);
                arr := CASE WHEN c > b + 1 THEN format('ARRAY[%s, %s, %s, %s]', a, b, c, d)
                            ELSE format('ARRAY[%s, %s]', a, b) END;
            END IF;
            arg := replace(replace(replace(p[5], '%A', arr || '::int4[]'),
                                   '%P', format('qv_range_pack(%s, %s)', a, b)), '%V', a::text);
            -- a bitmap scan, then an index-only scan (keys fetched from the index)
            FOREACH sel IN ARRAY ARRAY['count(*) || '':'' || coalesce(sum(id), 0)',
                                       format('count(*) || '':'' || coalesce(sum(%s), 0)', p[2])] LOOP
                q := format('SELECT %s FROM %s WHERE %s %s %s', sel, p[1], p[2], p[4], arg);
                PERFORM set_config('enable_seqscan', 'off', true);
                PERFORM set_config('enable_indexscan', 'on', true);
                PERFORM set_config('enable_bitmapscan', CASE WHEN sel LIKE '%(id)%' THEN 'on' ELSE 'off' END, true);
                PERFORM set_config('enable_indexonlyscan', 'on', true);
                IF i = 1 THEN
                    FOR plan IN EXECUTE 'EXPLAIN (COSTS OFF) ' || q LOOP
                        EXIT WHEN plan LIKE '%' || p[3] || '%';
                    END LOOP;
                    IF plan NOT LIKE '%' || p[3] || '%' THEN
                        unindexed := unindexed || p[2] || ' ' || p[4] || ' ' || p[5] || '; ';
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
    PERFORM set_config(s, 'on', true)
    FROM unnest(ARRAY['enable_seqscan', 'enable_indexscan', 'enable_bitmapscan', 'enable_indexonlyscan']) s;
END $$;

SELECT 'compare', * FROM pg_temp.qv_rel_check(:n, :seed);
SELECT 'ledger', count(*)
FROM qv_ledger l FULL JOIN qv_pts p USING (id) FULL JOIN qv_spans s USING (id)
WHERE l.v IS DISTINCT FROM p.v OR l.span IS DISTINCT FROM s.span;
SELECT 'mismatch', count(*) FROM qv_mismatch;
