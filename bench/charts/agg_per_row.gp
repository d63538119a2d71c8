# Aggregates: time per row against input size, beside array_agg, intarray's
# uniq(sort(array_agg)) and range_agg, with count(v) as the floor.
# Data: agg_per_row.csv (rows,name,ns_per_row), from bench/27_agg_per_row.sql.
set terminal svg size 800,480 font "sans,12" background "white"
set output out."/agg_per_row.svg"
set datafile separator ","
set logscale xy
set xlabel "rows"
set ylabel "ns per row"
set xtics ("100k" 100000, "1M" 1000000, "10M" 10000000)
set xrange [70000:14000000]
set key outside right
set grid
set title "Aggregating random int4 values into a range array (serial, best of 3)"
sel(name) = sprintf("< awk -F, '$2==\"%s\"' %s/agg_per_row.csv", name, data)
set termoption noenhanced
plot for [name in "count(v) array_agg(v) uniq(sort(array_agg(v))) range_agg"] \
         sel(name) using 1:3 with linespoints dt 2 title name, \
     for [name in "qv_int4set_agg qv_int4set_agg_optimized"] \
         sel(name) using 1:3 with linespoints lw 2 title name
