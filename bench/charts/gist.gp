# GiST: build time, index size, 1,000 searches and 100,000 inserts, ours
# beside the built-in GiST on int4range (packed ranges) and btree_gist (int4).
# Data: gist.csv (case,metric,ours,peer), from bench/60_gist.sql.
set terminal svg size 1200,380 font "sans,12" background "white"
set output out."/gist.svg"
set termoption noenhanced
set datafile separator ","
set style data histograms
set style histogram clustered gap 1
set style fill solid 0.8 border -1
set boxwidth 0.9
set xtics scale 0
set yrange [0:*]
set grid ytics
set key outside bottom center horizontal
sel(metric) = sprintf("< awk -F, 'NR > 1 && $2 == \"%s\"' %s/gist.csv", metric, data)
set multiplot layout 1,4 title "GiST indexes, 1,000,000 rows: packed ranges against int4range's GiST, int4 against btree_gist"
do for [m in "build_ms size_MB 1000_searches_ms 100k_inserts_ms"] {
    metric = system("echo '".m."' | tr _ ' '")
    set title metric
    plot sel(metric) using 3:xtic(1) title "tarvox", '' using 4 title "peer"
}
unset multiplot
