# Entry points: `make demo` runs Skelder's firmware update on the default simulated
# machine; `make test` runs every test. Both install what is missing first.
JOBS ?= $(shell nproc)
CTEST_FLAGS ?= --output-on-failure -j $(JOBS)

.PHONY: all deps host host-asan windows demo test test-host test-asan test-wine lint format clean bench \
        fuzz test-fuzz dist

all: host

deps:
	@./scripts/install-deps.sh

host: deps
	cmake --preset host >/dev/null
	cmake --build --preset host -j $(JOBS)

host-asan: deps
	cmake --preset host-asan >/dev/null
	cmake --build --preset host-asan -j $(JOBS)

windows: deps
	cmake --preset windows-x64 >/dev/null
	cmake --build --preset windows-x64 -j $(JOBS)
	cmake --preset windows-x86 >/dev/null
	cmake --build --preset windows-x86 -j $(JOBS)

demo: host
	@./scripts/demo.sh

test-host: host windows
	ctest --test-dir build/host $(CTEST_FLAGS)

test-asan: host-asan
	ctest --test-dir build/host-asan $(CTEST_FLAGS) -LE wine

test: test-host test-asan test-fuzz

# libFuzzer targets (docs/fuzzing.md): replay of the saved corpora, then a short run of each.
fuzz: deps
	cmake --preset fuzz >/dev/null
	cmake --build --preset fuzz -j $(JOBS)

test-fuzz: fuzz
	ctest --test-dir build/fuzz $(CTEST_FLAGS) -L fuzz

# Release archives of the Windows programs in dist/ (README, Releases).
dist: deps
	JOBS=$(JOBS) ./scripts/dist.sh

# Benchmarks of the programs' host cost (docs/performance.md); timings are noisy, so this is
# not part of make test. BENCH_FLAGS go to each benchmark program.
bench: deps
	cmake --preset bench >/dev/null
	cmake --build --preset bench -j $(JOBS)
	@for program in skelder norrix marlisk; do \
	  build/bench/bin/bench_$$program $(BENCH_FLAGS) || exit 1; \
	done

# clang-tidy and cppcheck on the programs' code (docs/static-analysis.md).
lint: host
	JOBS=$(JOBS) ./scripts/static-analysis.sh build/host

format:
	find winapi winsim csmi appframe skelder marlisk norrixupdater tests bench \
	  \( -name "*.h" -o -name "*.cpp" \) -print 2>/dev/null | xargs -r clang-format -i

clean:
	rm -rf build dist
