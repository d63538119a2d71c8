-- complain if script is sourced in psql, rather than via ALTER EXTENSION
\echo Use "ALTER EXTENSION tarvox_range_operators UPDATE TO '2.1'" to load this file. \quit
