# Front door: `make test` and `make demo` install what is missing, build, and run.
# `make deps` is the only step that installs packages or fetches sources (VISTREL_DEPS_DIR, default
# build/deps, holds the fetched sources); configuring a tree never does either.
SHELL := /bin/bash
JOBS ?= 2

.PHONY: all deps check-format native win32 win64 check-pe test test-native test-win test-win64 demo bench fuzz dist clean

all: native win32

deps:
	@bash scripts/install-deps.sh

native: deps
	@cmake --preset native >/dev/null
	@cmake --build --preset native -j $(JOBS)

win32: deps
	@cmake --preset win32 >/dev/null
	@cmake --build --preset win32 -j $(JOBS)

win64: deps
	@cmake --preset win64 >/dev/null
	@cmake --build --preset win64 -j $(JOBS)

# The shipped programs' headers and imports: 32-bit, GUI, Windows 7, system DLLs only, checked on
# the stripped files that go into the zip.
SHIPPED := build/win32/shipped/vistrel.exe build/win32/shipped/vistrel_agent.exe
check-pe: deps
	@cmake --preset win32 >/dev/null
	@cmake --build --preset win32 -j $(JOBS) --target vistrel_shipped
	python3 scripts/check-pe.py $(SHIPPED)

# The test trees build what their tests run (the target vistrel_tests), no more.
test-native: deps
	@cmake --preset native >/dev/null
	@cmake --build --preset native -j $(JOBS) --target vistrel_tests
	ctest --test-dir build/native --output-on-failure -j $(JOBS)

# The Windows suites run on what ships: the 32-bit tree, release flags, under Wine's WoW64 mode; the
# end-to-end tests start the stripped programs. A Wine tree with a piece missing stops the run
# here, naming the piece.
test-win: deps
	@cmake --preset win32 >/dev/null
	@cmake --build --preset win32 -j $(JOBS) --target vistrel_tests
	@scripts/wine-run --check build/win32
	scripts/wine-run --stop build/win32; \
	ctest --test-dir build/win32 --output-on-failure; rc=$$?; \
	scripts/wine-run --stop build/win32; exit $$rc

# From the 64-bit tree only the in-process window tests run: they find what only 64-bit pointers
# show (window longs, message parameters), which the 32-bit runs cannot.
test-win64: deps
	@cmake --preset win64 >/dev/null
	@cmake --build --preset win64 -j $(JOBS) --target win32_tests
	@scripts/wine-run --check build/win64
	scripts/wine-run --stop build/win64; \
	ctest --test-dir build/win64 --output-on-failure -R '^win32_tests$$'; rc=$$?; \
	scripts/wine-run --stop build/win64; exit $$rc

# Every fuzz target runs briefly in the tests; `make fuzz` runs them longer.
FUZZ_SECONDS ?= 60
TEST_FUZZ_SECONDS ?= 10

# The layout every C and C++ file keeps (.clang-format); checked before anything is built.
check-format: deps
	@bash scripts/check-format.sh

test: deps
	@bash scripts/check-format.sh
	@$(MAKE) --no-print-directory test-native
	@$(MAKE) --no-print-directory check-pe
	@$(MAKE) --no-print-directory test-win
	@$(MAKE) --no-print-directory test-win64
	@bash scripts/fuzz.sh $(TEST_FUZZ_SECONDS)

demo: deps
	@bash scripts/demo.sh

bench: deps
	@bash scripts/bench.sh

fuzz: deps
	@bash scripts/fuzz.sh $(FUZZ_SECONDS)

# The release: build/dist/vistrel-VERSION-win32.zip and SHA256SUMS, from the win32 tree's programs.
dist: deps
	@cmake --preset win32 >/dev/null
	@cmake --build --preset win32 -j $(JOBS) --target vistrel_shipped
	@python3 scripts/check-pe.py $(SHIPPED)
	@python3 scripts/map-summary.py build/win32/bin/vistrel.exe.map 6
	@python3 scripts/map-summary.py build/win32/bin/vistrel_agent.exe.map 6
	@python3 scripts/dist.py build/win32 build/dist

clean:
	rm -rf build
