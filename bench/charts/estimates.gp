# Estimates: the distribution of the q-errors (estimated against actual
# rows, whichever ratio is >= 1) per column kind, with the targets.
# Data: estimates.csv (kind,share,qerr), from bench/90_estimates.sql.
set terminal svg size 800,480 font "sans,12" background "white"
set output out."/estimates.svg"
set termoption noenhanced
set datafile separator ","
set logscale y
set yrange [0.9:10]
set xlabel "share of the cases"
set ylabel "q-error (at most)"
set xrange [0:1]
set key inside top left
set grid
set title "Row estimates of the restriction operators: q-error quantiles (joins: see the table)"
kinds = system(sprintf("awk -F, 'NR > 1 && $1 != \"joins\" {print $1}' %s/estimates.csv | sort -u | tr '\\n' ' '", data))
sel(k) = sprintf("< awk -F, '$1 == \"%s\"' %s/estimates.csv", k, data)
plot for [k in kinds] sel(k) using 2:3 with linespoints title k, \
     1.5 with lines dt 2 lc "gray" title "int4 median target", \
     4 with lines dt 3 lc "gray" title "int4 95th target"
