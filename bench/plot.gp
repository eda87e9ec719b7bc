# SPDX-License-Identifier: MIT
# The station series: time to build, lay out, show and close a main frame
# with N cells. Called by bench/run.sh with data= and out= set.
set terminal pngcairo size 900,560 font "DejaVu Sans,10"
set output out
set title "Main frame with N cells: build, lay out, first show, close (median)"
set xlabel "cells"
set ylabel "ms"
set key top left
set grid
set xrange [0:66]
plot data using 1:2 with linespoints lw 2 pt 7 title "ours", \
     data using 1:3 with linespoints lw 2 pt 5 title "XRC cells", \
     data using 1:4 with linespoints lw 2 pt 9 title "floor"
