#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# usage: check-runpath.sh BUILD_DIR
# No program or library the build makes, in the build tree or installed, may
# have an empty or relative entry in its RUNPATH (or RPATH): the loader reads
# such an entry against the current directory, so a library left there by
# anyone would be loaded, and its constructor run, by whoever starts a
# program from that directory.
set -euo pipefail
build_dir=$1

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Prints "FILE: ENTRY" for every entry that is not absolute or $ORIGIN-based,
# and counts the ELF files it looked at in $work/elves.
check_tree() {
    local tree=$1 file entries entry
    : > "$work/elves"
    while IFS= read -r -d '' file; do
        # ELF files only: the magic number, without trusting names.
        [[ $(head -c 4 "$file" | od -An -c | tr -d ' ') == '177ELF' ]] || continue
        echo "$file" >> "$work/elves"
        entries=$(readelf -d "$file" 2>/dev/null |
                  sed -n 's/.*(\(RUNPATH\|RPATH\)).*\[\(.*\)\]$/\2/p')
        [[ -n $entries ]] || continue
        # A leading, trailing or doubled colon is an empty entry.
        IFS=: read -r -a parts <<< "$entries:"
        if [[ $entries == :* || $entries == *: || $entries == *::* ]]; then
            echo "$file: empty entry in \"$entries\""
        fi
        for entry in "${parts[@]}"; do
            [[ -z $entry || $entry == /* || $entry == '$ORIGIN'* || $entry == '${ORIGIN}'* ]] ||
                echo "$file: relative entry \"$entry\" in \"$entries\""
        done
    done < <(find "$tree" -type f -size +1k -print0)
}

status=0
check_tree "$build_dir" > "$work/build-faults"
elves=$(wc -l < "$work/elves")
echo "== build tree $build_dir: $elves ELF files"
if [[ $elves -lt 3 ]]; then
    echo "FAIL: found almost no ELF file in $build_dir: was it built?"
    status=1
fi
if [[ -s $work/build-faults ]]; then
    sed 's/^/FAIL: /' "$work/build-faults"
    status=1
fi

echo "== installed copy"
# Every component the install rules know, but the API reference's, whose
# pages only \`make docs\` builds and which holds no program.
components=$(find "$build_dir" -name cmake_install.cmake -exec \
                 grep -ho 'CMAKE_INSTALL_COMPONENT STREQUAL "[^"]*"' {} + |
             sed 's/.*"\(.*\)"/\1/' | sort -u | grep -vx doc || true)
[[ -n $components ]] || { echo "FAIL: no install component found in $build_dir"; exit 1; }
for component in $components; do
    DESTDIR=$work/root cmake --install "$build_dir" --component "$component" >/dev/null
done
echo "components: $(echo $components)"
check_tree "$work/root" > "$work/install-faults"
elves=$(wc -l < "$work/elves")
echo "$elves ELF files installed"
if [[ $elves -lt 1 ]]; then
    echo "FAIL: the install put no ELF file in $work/root"
    status=1
fi
if [[ -s $work/install-faults ]]; then
    sed "s|$work/root||; s/^/FAIL: /" "$work/install-faults"
    status=1
fi
[[ $status -eq 0 ]] && echo "no empty or relative RUNPATH entry"
exit $status
