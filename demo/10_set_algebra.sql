-- Set algebra on range arrays: two timetables as sets of minutes.
-- Room A is busy 9:00-10:29 and 13:00-13:59, room B 10:00-11:59.
SELECT qv_int4range_union('{540,629,780,839}', '{600,719}') AS busy_somewhere,
       qv_int4range_intersection('{540,629,780,839}', '{600,719}') AS busy_in_both,
       qv_int4range_exclusion('{540,629,780,839}', '{600,719}') AS only_room_a;

-- Touching ranges join; a null argument leaves the other one as it is.
SELECT qv_int4range_union('{1,3}', '{4,6}') AS touching,
       qv_int4range_union(NULL, '{1,3}') AS with_null,
       qv_int4range_exclusion('{1,10}', NULL) AS nothing_removed;

-- Inclusion and overlap.
SELECT qv_int4range_is_strictly_include('{2,3,7,7}', '{1,5,7,9}') AS inside,
       qv_int4range_is_strictly_include('{1,7}', '{1,3,5,7}') AS across_a_gap,
       qv_int4range_is_overlap('{1,5}', '{5,9}') AS share_5,
       qv_int4range_is_overlap('{1,4}', '{5,9}') AS adjacent_only;

-- A set expression written as rows: word = operation (1 union, 2
-- intersection, 3 exclusion) + 4 * groups closed + 512 * groups opened.
-- {[1;10]} \ ({[2;8]} n {[4;20]}) u {[30;30]}
SELECT qv_int4range_op(word, operand ORDER BY step) AS expression
FROM (VALUES (1, 1::int2,         '{1,10}'::int4[]),
             (2, (3 + 512)::int2, '{2,8}'),
             (3, 2::int2,         '{4,20}'),
             (4, (1 + 4)::int2,   '{30,30}')) AS rows(step, word, operand);

-- One expression per group: the minutes of a working day (8:00-17:59) when
-- both rooms are free, as day \ (busy A u busy B).
SELECT day, qv_int4range_op(word, operand ORDER BY step) AS free_in_both
FROM (VALUES ('mon', 1, 1::int2,         '{480,1079}'::int4[]),
             ('mon', 2, (3 + 512)::int2, '{540,629,780,839}'),
             ('mon', 3, 1::int2,         '{600,719}'),
             ('tue', 1, 1::int2,         '{480,1079}'),
             ('tue', 2, 3::int2,         '{480,599}')) AS t(day, step, word, operand)
GROUP BY day ORDER BY day;
