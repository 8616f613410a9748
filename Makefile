# Thin wrapper over CMake: `make demo` converts the samples, `make test` runs every test.
# `make help` lists the targets from their "##" notes.
JOBS ?= $(shell nproc)

.PHONY: all help demo test test-linux test-sanitize test-windows fuzz package build clean

all: build

help: ## this list
	@sed -n 's/^\([a-z-]*\):.*## /  \1\t/p' $(MAKEFILE_LIST) | expand -t 18

build: ## build/Tessarel, optimised, without the tests
	scripts/install-deps.sh build
	cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DTESSAREL_TESTS=OFF >/dev/null
	cmake --build build -j $(JOBS)

demo: build ## convert samples/ both ways into demo-out/
	scripts/demo.sh build/Tessarel

test: test-linux test-sanitize test-windows ## the three below: every test

test-linux: ## the tests, warnings as errors (build-test/)
	scripts/install-deps.sh test
	cmake --preset werror >/dev/null
	cmake --build --preset werror -j $(JOBS)
	ctest --preset werror

test-sanitize: ## the tests under ASan and UBSan (build-sanitize/)
	scripts/install-deps.sh test
	cmake --preset sanitize >/dev/null
	cmake --build --preset sanitize -j $(JOBS)
	ctest --preset sanitize

test-windows: ## both Windows executables and their tests under Wine
	scripts/install-deps.sh test
	scripts/test-windows.sh

# New inputs join fuzz/corpus/.
fuzz: ## each fuzz target for FUZZ_SECONDS (default 60)
	scripts/install-deps.sh test
	scripts/fuzz.sh $(FUZZ_SECONDS)

# Checked with lintian and under Wine (scripts/check-packages.sh).
package: ## dist/: the .deb and the zip of both Windows executables
	scripts/install-deps.sh test
	scripts/make-packages.sh

clean: ## remove the build trees, dist/ and demo-out/
	rm -rf build build-* dist demo-out
