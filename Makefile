# SPDX-License-Identifier: MIT
# The front door. CMake is the real build; see CMakePresets.json. Only the
# targets that run or produce something (test, demo, reliability, bench,
# package, docs) install packages.
.PHONY: all deps build check test demo reliability bench package docs windows clean

all: build

deps:
	@scripts/install-deps.sh

build:
	cmake --preset default
	cmake --build --preset default

# The developer's loop: build the default preset and run its tests, nothing
# installed and nothing rebuilt with sanitizers. PRESET=debug runs the same
# against the unoptimised build (build-debug/); ARGS goes to ctest
# (ARGS="-R lifecycle" runs only those tests).
PRESET ?= default
check:
	cmake --preset $(PRESET)
	cmake --build --preset $(PRESET)
	ctest --preset $(PRESET) $(ARGS)

# The whole suite, then again built with AddressSanitizer, UBSan and leak
# detection (preset asan, tests/sanitizers/), then the station's threads
# under ThreadSanitizer (preset tsan: only the tests labelled tsan), then the
# Windows suite under Wine when a wxMSW cache is there (make windows makes it;
# CI has none), else one line saying it was skipped.
test: deps build
	ctest --preset default
	cmake --preset asan
	cmake --build --preset asan
	ctest --preset asan
	cmake --preset tsan
	cmake --build --preset tsan
	ctest --preset tsan
	@scripts/windows.sh if-cached

# The library for Windows: wxMSW cross-built from Debian's source once into a
# cache outside the tree (scripts/wxmsw.sh), then the library, its tests and
# examples with MinGW-w64 (preset windows), the tests run under Wine, and
# screenshots of every window under Wine in build-windows/screenshots.
windows:
	@scripts/install-deps.sh windows
	scripts/windows.sh all

# Long soak and event storm runs; writes docs/reliability.md.
reliability: deps build
	tests/reliability/report.sh build docs/reliability.md

# How fast the windows build, against XRC and the bare widgets (bench/):
# checks the comparators, then writes docs/performance.md and its plot; the
# station's history at volume and its cells' workers are sections of it.
bench: deps
	cmake --preset bench
	cmake --build --preset bench
	ctest --preset bench
	bench/run.sh build-bench docs

# Debian packages libtov-atsui1, libtov-atsui-dev, libtov-atsui-doc and
# atsui-station in build/packages (cmake/AtsuiPackages.cmake), dated by the
# last commit, so that two builds of one commit are the same bytes.
package: deps build
	cmake --build --preset default --target docs
	SOURCE_DATE_EPOCH=$$(git log -1 --format=%ct) cmake --build --preset default --target package

# The API reference from the public headers, in build/docs/html, with the
# example programs, a search box and a labelled picture of each window, made
# under Xvfb; fails on any warning, an undocumented member included.
docs: deps
	cmake --preset default
	cmake --build --preset default --target docs

demo: deps build
	scripts/demo.sh build

clean:
	rm -rf build build-asan build-tsan build-bench build-debug build-windows
