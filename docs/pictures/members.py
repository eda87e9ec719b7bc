#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""usage: members.py OUT HEADER...

Writes, for every class of the public headers, a function that hands each
of its pointer data members with its name to a visitor:

    template <class Visit> void visit_members(tov_atsui::Cell& w, Visit&& visit) {
        visit("ui_start", w.ui_start);
        ...
    }

window_pictures labels the widgets of live windows through these, so a
member added to a header is in the next pictures without anyone listing it.
"""
import re
import sys

CLASS = re.compile(r"^class\s+(\w+)\s*(?:final\s*)?:\s*public\s+[\w:]+\s*\{", re.M)
MEMBER = re.compile(r"^\s+(?:[\w:]+)\s*\*\s*(\w+)\s*;", re.M)


def classes(text):
    for m in CLASS.finditer(text):
        # The body runs to the first line that closes a class.
        end = text.index("\n};", m.end())
        yield m.group(1), MEMBER.findall(text[m.end():end])


def main(out, headers):
    lines = ["// Made by docs/pictures/members.py from the public headers; do not edit.", ""]
    for header in headers:
        with open(header, encoding="utf-8") as f:
            for name, members in classes(f.read()):
                lines.append("template <class Visit>")
                lines.append(f"void visit_members(tov_atsui::{name}& w, Visit&& visit) {{")
                lines += [f'    visit("{m}", w.{m});' for m in members]
                lines.append("}")
                lines.append("")
    with open(out, "w", encoding="utf-8") as f:
        f.write("\n".join(lines))


if __name__ == "__main__":
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2:])
