#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""What cmake/debian/debian_docs.py makes of a changelog and a licence."""
import os
import subprocess
import sys
import tempfile
import unittest

SCRIPT = os.path.join(os.path.dirname(__file__), "..", "..", "cmake", "debian", "debian_docs.py")
MAINTAINER = "tov_atsui developers <tov-atsui@example.org>"

CHANGELOG = """# Changelog

Intro text that is no release.

## [Unreleased]

### Added
- Something not released yet.

## [1.1.0] - 2026-12-10

### Added
- A first item whose text is long enough that it has to be wrapped onto more than one line of
  the Debian changelog, continued here in the source.

### Fixed
- A fix.

## [1.0.0] - 2026-12-09

### Added
- The first release.
"""


def run(kind, text, a, b):
    with tempfile.TemporaryDirectory() as tmp:
        source = os.path.join(tmp, "in")
        out = os.path.join(tmp, "out")
        with open(source, "w", encoding="utf-8") as f:
            f.write(text)
        done = subprocess.run([sys.executable, SCRIPT, kind, source, a, b, out],
                              capture_output=True, text=True)
        if not os.path.exists(out):
            return done, None
        with open(out, encoding="utf-8") as f:
            return done, f.read()


class Changelog(unittest.TestCase):
    def test_releases_newest_first_without_unreleased(self):
        done, text = run("changelog", CHANGELOG, "tov-atsui", MAINTAINER)
        self.assertEqual(done.returncode, 0, done.stderr)
        heads = [l for l in text.splitlines() if l.startswith("tov-atsui ")]
        self.assertEqual(heads, ["tov-atsui (1.1.0) unstable; urgency=medium",
                                 "tov-atsui (1.0.0) unstable; urgency=medium"])
        self.assertNotIn("not released", text)
        # Dated at midnight UTC of the release day, with its weekday.
        self.assertIn(f" -- {MAINTAINER}  Thu, 10 Dec 2026 00:00:00 +0000", text)
        self.assertIn(f" -- {MAINTAINER}  Wed, 09 Dec 2026 00:00:00 +0000", text)

    def test_items_wrapped_under_80_columns(self):
        _, text = run("changelog", CHANGELOG, "tov-atsui", MAINTAINER)
        # What lintian measures: the lines of changes, not the sign-off.
        changes = [l for l in text.splitlines() if l.startswith("  ")]
        self.assertTrue(changes)
        self.assertTrue(all(len(l) < 80 for l in changes), text)
        self.assertIn("  [ Fixed ]\n  * A fix.", text)
        item = text[text.index("  * A first item"):text.index("  [ Fixed ]")]
        self.assertIn("continued here in the source.", " ".join(item.split()))
        self.assertTrue(all(l.startswith("    ") for l in item.splitlines()[1:] if l))

    def test_refuses_what_it_cannot_place(self):
        done, _ = run("changelog", CHANGELOG.replace("- A fix.", "A stray line."), "p", MAINTAINER)
        self.assertNotEqual(done.returncode, 0)
        self.assertIn("1.1.0", done.stderr)
        self.assertIn("A stray line.", done.stderr)
        done, _ = run("changelog", "# Changelog\n\n## [Unreleased]\n", "p", MAINTAINER)
        self.assertNotEqual(done.returncode, 0)
        self.assertIn("no release", done.stderr)


class Copyright(unittest.TestCase):
    def test_dep5_with_the_licence_text(self):
        licence = "MIT License\n\nCopyright (c) 2026 Someone\n\nPermission is granted.\n\nNo warranty.\n"
        done, text = run("copyright", licence, "tov_atsui", MAINTAINER)
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertTrue(text.startswith(
            "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"))
        self.assertIn("Files: *\nCopyright: 2026 Someone\nLicense: Expat\n", text)
        self.assertIn("License: Expat\n Permission is granted.\n .\n No warranty.\n", text)

    def test_refuses_a_licence_without_holder(self):
        done, _ = run("copyright", "MIT License\n\nPermission.\n", "tov_atsui", MAINTAINER)
        self.assertNotEqual(done.returncode, 0)
        self.assertIn("Copyright (c)", done.stderr)


if __name__ == "__main__":
    unittest.main()
