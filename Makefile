# For people: `make run` shows the installer, `make test` runs every test; `make` builds all three builds,
# `make bench` prints the benchmarks' ratios. Each first installs what is missing from Debian's packages.
MAKEFLAGS += --no-print-directory
BUILD   := build
JOBS    ?= $(shell nproc)
HARNESS := scripts/wine-run.sh
# Each Windows tree keeps its own Wine prefixes: the win64 build's and the win32 build's (run under WoW64).
WINE_ROOTS := $(BUILD)/win64/wine $(BUILD)/win32/wine
cleanup_wine = for root in $(WINE_ROOTS); do $(HARNESS) --root $$root --cleanup; done

.PHONY: all bootstrap native native-asan win32 win64 test run bench clean

all: native win32 win64

bootstrap:
	@scripts/bootstrap.sh

# The Windows builds package their demo installers with the native pkgtool, and the 32-bit installer carries
# the 64-bit modules as well: native first, then win64, then win32.
win64: native
win32: win64
native native-asan win32 win64: bootstrap
	@cmake --preset $@ >$(BUILD)-$@.configure.log 2>&1 || { cat $(BUILD)-$@.configure.log; exit 1; }
	@rm -f $(BUILD)-$@.configure.log
	@cmake --build --preset $@ -j $(JOBS)

# One ctest over the build trees, so that one summary closes the run; the unit tests run a second time built
# with AddressSanitizer and UBSan (native-asan, their names end in _asan).
$(BUILD)/CTestTestfile.cmake: Makefile
	@mkdir -p $(BUILD)
	@printf 'subdirs("native" "native-asan" "win32" "win64")\n' >$@

# The corruption matrix's count of cases and of each result closes the run (from its native build).
test: all native-asan $(BUILD)/CTestTestfile.cmake
	@$(cleanup_wine)
	@status=0; ctest --test-dir $(BUILD) -j $(JOBS) --output-on-failure || status=$$?; \
	 $(cleanup_wine); \
	 awk '/Test: corruption_matrix_test$$/ {on = 1} /time elapsed/ {on = 0} on && /damaged installers|^  result /' \
	   $(BUILD)/Testing/Temporary/LastTest.log; \
	 exit $$status

run: all
	@scripts/run.sh $(BUILD)

bench: all
	@scripts/bench.sh $(BUILD)

clean:
	@$(cleanup_wine) 2>/dev/null || true
	rm -rf $(BUILD)
