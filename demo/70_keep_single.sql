-- Keep-single aggregate: the one value shared by all rows of a group.
-- Order lines repeat their customer's region; report one region per
-- customer, and prove on the way that there is only one.
CREATE TEMP TABLE demo_orders(id int, customer text, region text, amount numeric);
INSERT INTO demo_orders VALUES
  (1, 'Ames',  'north', 12.50), (2, 'Ames',  'north', 7.25),
  (3, 'Bloch', 'south', 30.00), (4, 'Bloch', 'south', 1.75),
  (5, 'Chen',  NULL,    9.99);
SELECT customer, qv_agg_keep_single(region) AS region, sum(amount) AS total
FROM demo_orders GROUP BY customer ORDER BY customer;

-- A second region for Bloch breaks the dependency: the query fails instead
-- of returning one of the two at random.
INSERT INTO demo_orders VALUES (6, 'Bloch', 'east', 4.00);
\set ON_ERROR_STOP 0
SELECT customer, qv_agg_keep_single(region) AS region, sum(amount) AS total
FROM demo_orders GROUP BY customer ORDER BY customer;
\set ON_ERROR_STOP 1

-- Values agree by their exact bytes or bits: no collation, no rounding.
\set ON_ERROR_STOP 0
SELECT qv_agg_keep_single(x) FROM (VALUES ('a'::text), ('a ')) v(x);
SELECT qv_agg_keep_single(x) FROM (VALUES (0.0::float8), ('-0')) v(x);
\set ON_ERROR_STOP 1
SELECT qv_agg_keep_single(x) AS same_bytes
FROM (VALUES ('\xc0ffee'::bytea), ('\xc0ffee')) v(x);
