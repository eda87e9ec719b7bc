#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# usage: check-pictures.sh PICTURES_DIR CELL_HEADER
# Checks the pictures `make docs` made of the windows (docs/pictures): one
# per window, each with its list of members; the cell's list holds every
# pointer member cell.h declares, once; and the outlines sit on the widgets
# they name: inside ui_start's is the Start button's green, inside
# ui_abort's the Abort button's cyan.
set -euo pipefail
dir=$1 header=$2
fail() { echo "FAIL: $*" >&2; exit 1; }

for name in frame cell test_data_viewer launcher ticker_exception_dialog about_dialog \
            manual_operation_dialog; do
  [ -s "$dir/$name.png" ] || fail "no picture $dir/$name.png"
  [ -s "$dir/$name.txt" ] || fail "no member list $dir/$name.txt"
  grep -q "^label " "$dir/$name.txt" || fail "$name.txt labels no member"
done

declared=$(sed -n 's/^ \+[A-Za-z_:]\+ *\* *\([A-Za-z_0-9]\+\);.*/\1/p' "$header" | sort)
listed=$(cut -d' ' -f2 "$dir/cell.txt" | sort)
[ -n "$declared" ] || fail "found no pointer members in $header"
[ "$declared" = "$listed" ] ||
  fail "cell.txt does not list cell.h's members once each: $(diff <(echo "$declared") <(echo "$listed") | tr '\n' ' ')"
for member in ui_start ui_abort ui_serial_number; do
  grep -q "^label $member " "$dir/cell.txt" || fail "cell picture does not label $member"
done

# The colour most of a labelled member's outline holds, inside its border,
# as #RRGGBB: a button's background beside its caption and any line that
# crosses it.
middle() {
  read -r _ _ x y w h < <(grep "^label $1 " "$dir/$2.txt")
  convert "$dir/$2.png" -crop "$((w - 8))x$((h - 8))+$((x + 4))+$((y + 4))" +repage \
    -format %c histogram:info:- | sort -rn | head -n1 | grep -o '#[0-9A-F]\{6\}' | head -n1
}
[ "$(middle ui_start cell)" = "#00FF00" ] || fail "ui_start's outline is not on the green Start button ($(middle ui_start cell))"
[ "$(middle ui_abort cell)" = "#00FFFF" ] || fail "ui_abort's outline is not on the cyan Abort button ($(middle ui_abort cell))"
echo "pictures and member lists of 7 windows; cell: $(grep -c '^label ' "$dir/cell.txt") labelled"
