# Thin wrapper over CMake: `make demo` converts the samples, `make test` runs every test.
JOBS ?= $(shell nproc)

.PHONY: all demo test test-linux test-sanitize test-windows fuzz package build clean

all: build

build:
	scripts/install-deps.sh build
	cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DTESSAREL_TESTS=OFF >/dev/null
	cmake --build build -j $(JOBS)

demo: build
	scripts/demo.sh build/Tessarel

test: test-linux test-sanitize test-windows

test-linux:
	scripts/install-deps.sh test
	cmake --preset werror >/dev/null
	cmake --build --preset werror -j $(JOBS)
	ctest --preset werror

test-sanitize:
	scripts/install-deps.sh test
	cmake --preset sanitize >/dev/null
	cmake --build --preset sanitize -j $(JOBS)
	ctest --preset sanitize

test-windows:
	scripts/install-deps.sh test
	scripts/test-windows.sh

# Each fuzz target for FUZZ_SECONDS (default 60); new inputs join fuzz/corpus/.
fuzz:
	scripts/install-deps.sh test
	scripts/fuzz.sh $(FUZZ_SECONDS)

# dist/: a .deb for Linux, a .zip of the 64-bit and 32-bit Windows executables,
# checked with lintian and under Wine (scripts/check-packages.sh).
package:
	scripts/install-deps.sh test
	scripts/make-packages.sh

clean:
	rm -rf build build-* dist
