# Set algebra: time per call against set size, ours beside int4multirange
# and the copy floor, one panel per operation (log-log).
# Data: set_algebra.csv (ranges,op,kind,side,ms), from bench/10_set_algebra.sql.
set terminal svg size 1200,420 font "sans,12" background "white"
set output out."/set_algebra.svg"
set datafile separator ","
set logscale xy
set xlabel "ranges per set"
set ylabel "ms per call"
set key top left
set grid
set xtics ("1k" 1000, "10k" 10000, "100k" 100000)
set xrange [600:160000]
sel(op, side) = sprintf("< awk -F, '$2==\"%s\" && $3==\"random\" && $4==\"%s\"' %s/set_algebra.csv", op, side, data)
set multiplot layout 1,3 title "Set algebra on random range arrays (best of 15 rounds)"
do for [op in "union intersection exclusion"] {
    set title op
    plot sel(op, "ours") using 1:5 with linespoints lw 2 title "tarvox", \
         sel(op, "multirange") using 1:5 with linespoints lw 2 title "int4multirange", \
         sel(op, "floor") using 1:5 with linespoints dt 2 title "copy floor (a || b)"
}
unset multiplot
