#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Debian's files about a package, made from the tree's own.

  debian_docs.py changelog CHANGELOG.md SOURCE MAINTAINER OUT
      The Debian changelog: one entry per release of CHANGELOG.md
      ("## [X.Y.Z] - YYYY-MM-DD"), newest first, each dated at midnight UTC
      of its release day; "Unreleased" is no release and is left out.
  debian_docs.py copyright LICENSE NAME CONTACT OUT
      A machine-readable (DEP-5) copyright file holding the licence.
"""
import datetime
import re
import sys
import textwrap

WIDTH = 79  # lintian wants changelog lines under 80 columns


def releases(markdown):
    """Yields (version, date, [(heading, [item text])]) per release."""
    release = None
    heading = None
    for line in markdown.splitlines():
        m = re.match(r"^## \[(\d+\.\d+\.\d+)\] - (\d{4}-\d\d-\d\d)$", line)
        if m or line.startswith("## "):
            if release:
                yield release
            release = (m.group(1), m.group(2), []) if m else None
            continue
        if release is None:
            continue
        if line.startswith("### "):
            heading = (line[4:].strip(), [])
            release[2].append(heading)
        elif line.startswith("- "):
            if heading is None:
                heading = ("Changes", [])
                release[2].append(heading)
            heading[1].append(line[2:].strip())
        elif line.startswith("  ") and heading and heading[1]:
            heading[1][-1] += " " + line.strip()
        elif line.strip():
            sys.exit(f"CHANGELOG.md: cannot place this line of release {release[0]}: {line!r}")
    if release:
        yield release


def changelog(markdown, source, maintainer):
    out = []
    for version, date, sections in releases(markdown):
        day = datetime.datetime.strptime(date, "%Y-%m-%d").replace(
            tzinfo=datetime.timezone.utc)
        out.append(f"{source} ({version}) unstable; urgency=medium\n")
        for title, items in sections:
            out.append(f"  [ {title} ]")
            for item in items:
                out.extend(textwrap.wrap(item, WIDTH, initial_indent="  * ",
                                         subsequent_indent="    ",
                                         break_on_hyphens=False,
                                         break_long_words=False))
            out.append("")
        out.append(f" -- {maintainer}  {day.strftime('%a, %d %b %Y %H:%M:%S %z')}\n")
    if not out:
        sys.exit("CHANGELOG.md lists no release as \"## [X.Y.Z] - YYYY-MM-DD\"")
    return "\n".join(out)


def copyright_file(license_text, name, contact):
    holder = re.search(r"^Copyright \(c\) (.+)$", license_text, re.M)
    if not holder:
        sys.exit("LICENSE names no holder in a line \"Copyright (c) ...\"")
    # The licence's own title is the short name's; the text follows it.
    body = license_text.split("\n", 1)[1].strip("\n")
    body = re.sub(r"^Copyright \(c\) .+\n\n?", "", body, flags=re.M)
    indented = "\n".join(" " + l if l.strip() else " ." for l in body.splitlines())
    return (
        "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
        f"Upstream-Name: {name}\n"
        f"Upstream-Contact: {contact}\n\n"
        "Files: *\n"
        f"Copyright: {holder.group(1)}\n"
        "License: Expat\n\n"
        "License: Expat\n"
        f"{indented}\n")


def main(argv):
    if len(argv) != 6 or argv[1] not in ("changelog", "copyright"):
        sys.exit(__doc__)
    kind, source_file, a, b, out = argv[1:]
    with open(source_file, encoding="utf-8") as f:
        text = f.read()
    result = changelog(text, a, b) if kind == "changelog" else copyright_file(text, a, b)
    with open(out, "w", encoding="utf-8") as f:
        f.write(result)


if __name__ == "__main__":
    main(sys.argv)
