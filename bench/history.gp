# SPDX-License-Identifier: MIT
# The history series: the viewer on the store against the in-memory grid.
# Called by bench/run.sh with data= and out= set.
set terminal pngcairo size 900,560 font "DejaVu Sans,10"
set output out
set title "Test data viewer on N tests: store against in-memory grid (median)"
set xlabel "tests"
set ylabel "ms"
set logscale xy
set format x "10^{%L}"
set key top left
set grid
set xrange [500:2000000]
plot data using 1:2 with linespoints lw 2 pt 7 title "open, store", \
     data using 1:3 with linespoints lw 2 pt 6 dt 2 title "open, in-memory", \
     data using 1:4 with linespoints lw 2 pt 5 title "cell filter, store", \
     data using 1:5 with linespoints lw 2 pt 4 dt 2 title "cell filter, in-memory", \
     data using 1:6 with linespoints lw 2 pt 9 title "item statistics, store", \
     data using 1:7 with linespoints lw 2 pt 8 dt 2 title "item statistics, in-memory"
