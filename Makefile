# The front door. CMake is the real build; see CMakePresets.json.
.PHONY: all deps build test demo clean

all: build

deps:
	@scripts/install-deps.sh

build: deps
	cmake --preset default
	cmake --build --preset default

test: build
	ctest --preset default

demo: build
	scripts/demo.sh build

clean:
	rm -rf build
