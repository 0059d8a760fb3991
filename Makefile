# Entry points: `make demo` runs Skelder's firmware update on the default simulated
# machine; `make test` runs every test. Both install what is missing first.
JOBS ?= $(shell nproc)
CTEST_FLAGS ?= --output-on-failure -j $(JOBS)
RESULTS := $(CURDIR)/build/test-results
# Debian's own tools first: the ones scripts/install-deps.sh installs and check-deps checks.
export PATH := /usr/sbin:/usr/bin:/sbin:/bin:$(PATH)

.PHONY: all deps host host-asan host-emulated windows demo test test-host test-asan test-wine lint \
        format clean bench fuzz test-fuzz test-emulated check-deps dist

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

# The demo needs Skelder's host program alone: its packages, its build tree, its target.
demo:
	@./scripts/install-deps.sh demo
	cmake --preset demo >/dev/null
	cmake --build --preset demo -j $(JOBS)
	@./scripts/demo.sh

# Wine cases take a prefix each from the resource spec (tests/wine/CMakeLists.txt).
test-host: host windows
	ctest --test-dir build/host $(CTEST_FLAGS) --resource-spec-file $(CURDIR)/build/host/ctest-resources.json \
	  $(if $(JUNIT),--output-junit $(RESULTS)/host.xml)

test-asan: host-asan
	ctest --test-dir build/host-asan $(CTEST_FLAGS) -LE wine $(if $(JUNIT),--output-junit $(RESULTS)/asan.xml)

# Every test tree, even after a failure, then the install check and one summary line.
test: host windows host-asan fuzz
	@rm -rf $(RESULTS) && mkdir -p $(RESULTS)
	@status=0; \
	$(MAKE) --no-print-directory test-host test-asan test-fuzz JUNIT=1 -k || status=1; \
	./scripts/check-deps.py || status=1; \
	python3 scripts/test-summary.py $(RESULTS)/*.xml || status=1; \
	exit $$status

# The 32-bit programs' end-to-end suites through qemu-i386, as on a kernel that runs
# no 32-bit programs (FWU_EMULATE_I386=1 in the preset): keeps that path from rotting.
host-emulated: deps
	cmake --preset host-emulated >/dev/null
	cmake --build --preset host-emulated -j $(JOBS)

test-emulated: host-emulated
	ctest --test-dir build/host-emulated $(CTEST_FLAGS) -L e2e32

# Every command the builds and tests call comes from a package install-deps.sh installs.
check-deps:
	./scripts/check-deps.py

# libFuzzer targets (docs/fuzzing.md): replay of the saved corpora, then a short run of each.
fuzz: deps
	cmake --preset fuzz >/dev/null
	cmake --build --preset fuzz -j $(JOBS)

test-fuzz: fuzz
	ctest --test-dir build/fuzz $(CTEST_FLAGS) -L fuzz $(if $(JUNIT),--output-junit $(RESULTS)/fuzz.xml)

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
	find winapi winsim csmi ata appframe skelder marlisk norrixupdater capturemachine tests bench \
	  \( -name "*.h" -o -name "*.cpp" \) -print 2>/dev/null | xargs -r clang-format -i

clean:
	rm -rf build dist
