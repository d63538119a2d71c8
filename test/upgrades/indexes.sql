-- Every operator of the GiST classes over qv_sets (the dump test's
-- database, test/reliability/dump_schema.sql) answers 20 searches with its
-- index forced (bitmap and plain index scans) and by a sequential scan:
-- the operators that 2.1 renames under the spelling of the installed
-- version, and the range-array column's where its index exists (2.1 on).
-- Prints "indexes COMPARED DISAGREEING" and then each operator whose forced
-- plan did not use its index.
CREATE FUNCTION pg_temp.qv_by_index(OUT compared int, OUT disagreeing int, OUT unindexed text)
LANGUAGE plpgsql AS $$
DECLARE
    lo int; cond text; scan text; q text; got text; want text; plan text;
    v20 bool := (SELECT extversion = '2.0' FROM pg_extension WHERE extname = 'tarvox_range_operators');
    in_array text := CASE WHEN v20 THEN '<@' ELSE '<<@' END;
    meets_array text := CASE WHEN v20 THEN '&&' ELSE '&&&' END;
    set_column bool := to_regclass('qv_sets_r') IS NOT NULL;
BEGIN
    compared := 0; disagreeing := 0; unindexed := '';
    FOR lo IN SELECT g * 7919 % 100000 FROM generate_series(0, 19) g LOOP
        FOREACH cond IN ARRAY ARRAY[
            format('v %s ARRAY[%s, %s, %s, %s]::int4[]', in_array, lo, lo + 500, lo + 2000, lo + 9000),
            format('v <@ qv_int4set2bitfield_int4(''r'', ARRAY[%s, %s]::int4[])', lo, lo + 3000),
            format('v <@ qv_range_pack(%s, %s)', lo, lo + 5000),
            format('p %s ARRAY[%s, %s, %s, %s]::int4[]', meets_array, lo, lo + 300, lo + 900, lo + 1500),
            format('p && qv_range_pack(%s, %s)', lo, lo + 500),
            format('p <@ qv_range_pack(%s, %s)', lo, lo + 20000),
            format('p @> qv_range_pack(%s, %s)', lo, lo + 1),
            format('p @> %s', lo)] || CASE WHEN set_column THEN ARRAY[
            format('r @>> %s', lo + 7),
            format('r &&& qv_range_pack(%s, %s)', lo, lo + 300),
            format('r &&& ARRAY[%s, %s, %s, %s]::int4[]', lo, lo + 100, lo + 900, lo + 1500),
            format('r @>> ARRAY[%s, %s]::int4[]', lo, lo + 2),
            format('r <<@ ARRAY[%s, %s]::int4[]', lo, lo + 30000)] ELSE '{}' END LOOP
            q := 'SELECT count(*) || '':'' || coalesce(sum(id), 0) FROM qv_sets WHERE ' || cond;
            PERFORM set_config('enable_seqscan', 'off', true);
            FOREACH scan IN ARRAY ARRAY['enable_bitmapscan', 'enable_indexscan'] LOOP
                PERFORM set_config('enable_bitmapscan', (scan = 'enable_bitmapscan')::text, true);
                PERFORM set_config('enable_indexscan', (scan = 'enable_indexscan')::text, true);
                IF lo = 0 THEN
                    FOR plan IN EXECUTE 'EXPLAIN (COSTS OFF) ' || q LOOP
                        EXIT WHEN plan ~ 'qv_sets_[vpr]\M';
                    END LOOP;
                    IF plan !~ 'qv_sets_[vpr]\M' THEN
                        unindexed := unindexed || cond || ' (' || scan || '); ';
                    END IF;
                END IF;
                EXECUTE q INTO got;
                PERFORM set_config('enable_seqscan', 'on', true);
                PERFORM set_config('enable_bitmapscan', 'off', true);
                PERFORM set_config('enable_indexscan', 'off', true);
                EXECUTE q INTO want;
                PERFORM set_config('enable_seqscan', 'off', true);
                compared := compared + 1;
                IF got IS DISTINCT FROM want THEN
                    disagreeing := disagreeing + 1;
                    RAISE WARNING 'index and sequential scan disagree: % gives % and %', q, got, want;
                END IF;
            END LOOP;
        END LOOP;
    END LOOP;
    PERFORM set_config(x, 'on', true)
    FROM unnest(ARRAY['enable_seqscan', 'enable_indexscan', 'enable_bitmapscan']) x;
END $$;

SELECT 'indexes', compared, disagreeing, unindexed FROM pg_temp.qv_by_index();
