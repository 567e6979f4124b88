# Everyday entry points.  The build itself is CMake (see CMakePresets.json);
# these targets only chain the usual commands.
#
#   make run     install what is missing, build the Windows program and
#                start it under Wine (needs an X display): the 32-bit
#                program where this machine runs 32-bit programs, the
#                64-bit one otherwise
#   make demo    install what is missing, build, stamp the demo watermark
#   make test    install, build and test natively and under ASan + UBSan,
#                the Windows programs under Wine (their tests, the engine
#                tests and a scripted end-to-end session): the 64-bit
#                program always, the 32-bit one where this machine runs
#                32-bit programs (both are built either way), then a short
#                bounded run of every fuzz target
#
# QUILLVANE_NO_WIN32=1 treats this machine as one that cannot run 32-bit
# programs (scripts/probe-win32.sh), to try the 64-bit-only path anywhere.
#   make fuzz-smoke   the fuzz targets alone (FUZZ_SECONDS per target)
#   make fuzz-long    every fuzz target for FUZZ_LONG_SECONDS (or FUZZ_LONG_RUNS
#                inputs) in the background, the corpus minimised into tests/fuzz/corpus
#   make fuzz-coverage   the readers' and writers' line coverage by the fuzz corpus
#   make bench   build and time every engine (BENCH_ARGS="--reps 3 --size 2000x1500")
#   make dist    the release files in dist/: the Windows programs' zips
#                (win32, win64), the Debian package of quillvane-cli, the
#                source archive and SHA256SUMS (scripts/dist.sh; builds in
#                build/dist-*)
#   make check-dist   make dist, then check its files (tests/dist/check-files.sh),
#                start the zipped programs under Wine (tests/dist/start-windows.sh),
#                run each packaged command-line tool in Japanese
#                (tests/dist/japanese-messages.sh) and build everything twice
#                more from HEAD in two fresh clones to compare them byte for
#                byte (tests/dist/reproducible.sh; about as long as two
#                release builds)
#   make bench-windows   time the engines in the 64-bit Windows program under
#                Wine beside the native program, the bump dialog's OK, what a
#                user waits for on a 24 MP photograph and the batch window
#                beside the tool; writes bench/RESULTS-windows.md
#                (WINDOWS_BENCH_ARGS="--runs 3 --baseline", see bench/windows.sh)
#   make bench-compare   time the engines and the command line against
#                ImageMagick, libvips and djpeg/cjpeg; writes bench/RESULTS.md
#                and bench/results.png (COMPARE_ARGS=--quick for a fast check)

CMAKE ?= cmake
CTEST ?= ctest
JOBS ?= 2

NATIVE_DIR := build/native
CLI := $(NATIVE_DIR)/quillvane-cli
BENCH := $(NATIVE_DIR)/bench/quillvane_bench
BENCH_ARGS ?=
WINDOWS_EXE := build/windows/quillvane.exe
WINDOWS64_EXE := build/windows64/quillvane.exe
# Prints "yes" or "no: why"; exit status 0 for yes.
PROBE_WIN32 := scripts/probe-win32.sh

# The demo: a NASA Blue Marble photograph from Debian's xplanet-images
# package, and the watermark committed in demo/.
DEMO_PHOTO ?= /usr/share/xplanet/images/earth.jpg
DEMO_WATERMARK ?= demo/watermark.bmp
DEMO_DIR := out/demo
DEMO_OUTPUT := $(DEMO_DIR)/watermarked.jpg
# At its own size, centred over the Atlantic and Africa; ambient 66 keeps
# flat parts of the relief at their own brightness under the default light.
DEMO_OPTIONS ?= --no-enlarge --offset 724,392 --strength 60 --amplify 300 --ambient 66 --quality 90

.PHONY: check-generated all setup setup-windows setup-dist dist check-dist build run test test-native test-sanitize test-windows test-e2e fuzz-smoke fuzz-long fuzz-coverage demo bench bench-windows bench-compare clean

# Fuzzing (scripts/fuzz.sh): the 'fuzz' preset (clang, libFuzzer, ASan +
# UBSan), seeds made by scripts/make-fuzz-corpus.py plus the corpus kept in
# tests/fuzz/corpus, each of the seven targets run for FUZZ_SECONDS.
FUZZ_DIR := build/fuzz
FUZZ_SECONDS ?= 20
FUZZ_LONG_SECONDS ?= 3600
FUZZ_LONG_RUNS ?= -1

all: build

setup:
	bash scripts/install-deps.sh

# The mingw-w64 cross compilers, Wine, Xvfb and the Japanese locale, then
# the static Windows libraries (scripts/windows-deps.versions) built once
# per architecture, into build/deps/mingw-i686 and build/deps/mingw-x86_64.
setup-windows:
	bash scripts/install-windows-deps.sh
	bash scripts/build-windows-deps.sh

# dpkg-dev, lintian, help2man and what the dist checks use.
setup-dist:
	bash scripts/install-dist-deps.sh

dist: setup setup-windows setup-dist
	JOBS=$(JOBS) bash scripts/dist.sh

check-dist: dist
	bash tests/dist/check-files.sh
	bash tests/dist/start-windows.sh
	bash tests/dist/japanese-messages.sh
	JOBS=$(JOBS) bash tests/dist/reproducible.sh

build:
	$(CMAKE) --preset native
	$(CMAKE) --build --preset native -j $(JOBS)

# Wine wants a display: $$DISPLAY when it answers.  Without one the program
# would open on an invisible Xvfb, so say so instead.
run: setup setup-windows
	@if answer=$$($(PROBE_WIN32)); then preset=windows; exe=$(WINDOWS_EXE); \
	  echo "run: the 32-bit program"; \
	else preset=windows64; exe=$(WINDOWS64_EXE); \
	  echo "run: the 64-bit program (this machine cannot run the 32-bit one: $${answer#no: })"; fi; \
	$(CMAKE) --preset $$preset && $(CMAKE) --build --preset $$preset -j $(JOBS) --target quillvane || exit 1; \
	if [ -z "$$DISPLAY" ] || ! xdotool getdisplaygeometry >/dev/null 2>&1; then \
	  echo "run: no X display (DISPLAY='$$DISPLAY'). Run from a desktop session or 'ssh -X'," >&2; \
	  echo "     or start Xvfb and a VNC server and set DISPLAY. The program is $(CURDIR)/$$exe." >&2; \
	  exit 1; \
	fi; \
	scripts/wine-run.sh $$exe

test: setup setup-windows
	$(MAKE) test-native
	$(MAKE) test-sanitize
	$(MAKE) test-windows
	$(MAKE) test-e2e
	$(MAKE) fuzz-smoke

# The committed icon, splash and demo watermark are what their generators draw.
check-generated:
	bash scripts/check-generated.sh

test-native: check-generated
	$(CMAKE) --preset native
	$(CMAKE) --build --preset native -j $(JOBS)
	$(CTEST) --preset native -j $(JOBS)

test-sanitize:
	$(CMAKE) --preset sanitize
	$(CMAKE) --build --preset sanitize -j $(JOBS)
	$(CTEST) --preset sanitize -j $(JOBS)

# Both Windows programs are built and linked; their tests (the windows and
# engine suites) run under Wine on a shared Xvfb (:97): the 64-bit ones
# always, the 32-bit ones where this machine can run them.
test-windows:
	$(CMAKE) --preset windows
	$(CMAKE) --build --preset windows -j $(JOBS)
	$(CMAKE) --preset windows64
	$(CMAKE) --build --preset windows64 -j $(JOBS)
	$(CTEST) --preset windows64
	@if answer=$$($(PROBE_WIN32)); then \
	  $(CTEST) --preset windows || exit 1; \
	  echo "test-windows: tested the 64-bit and the 32-bit Windows programs"; \
	else \
	  echo "test-windows: tested the 64-bit Windows program; the 32-bit one is built but cannot run here ($${answer#no: })"; \
	fi

# The scripted session (tests/e2e/run.sh) with each program this machine
# can run: its own Xvfb and Wine prefix; screenshots of every step and the
# saved files in build/e2e/win64 (and build/e2e/win32).  Where both ran,
# their saved files must be the same, byte for byte.
E2E_FILES := after-bump.bmp final.jpg final-16.bmp
test-e2e:
	$(CMAKE) --preset windows
	$(CMAKE) --build --preset windows -j $(JOBS) --target quillvane wininspect
	$(CMAKE) --preset windows64
	$(CMAKE) --build --preset windows64 -j $(JOBS) --target quillvane wininspect
	$(CMAKE) --preset native
	$(CMAKE) --build --preset native -j $(JOBS) --target quillvane-cli
	QUILLVANE_WIN_BUILD=build/windows64 QUILLVANE_E2E_OUT=build/e2e/win64 tests/e2e/run.sh
	@if answer=$$($(PROBE_WIN32)); then \
	  QUILLVANE_WIN_BUILD=build/windows QUILLVANE_E2E_OUT=build/e2e/win32 tests/e2e/run.sh || exit 1; \
	  for file in $(E2E_FILES); do \
	    cmp build/e2e/win64/files/$$file build/e2e/win32/files/$$file || \
	      { echo "test-e2e: the 64-bit and 32-bit programs saved different $$file" >&2; exit 1; }; \
	  done; \
	  echo "test-e2e: ran the session with the 64-bit and the 32-bit programs; their files are identical"; \
	else \
	  echo "test-e2e: ran the session with the 64-bit program; the 32-bit one cannot run here ($${answer#no: })"; \
	fi

FUZZ_TARGETS_BUILT := fuzz_bmp_reader fuzz_jpeg_reader fuzz_round_trip fuzz_cli_options fuzz_png_reader \
  fuzz_webp_reader fuzz_metadata_copy fuzz_text_mark make_jpeg_seeds

fuzz-smoke: setup
	$(CMAKE) --preset fuzz
	$(CMAKE) --build --preset fuzz -j $(JOBS) --target $(FUZZ_TARGETS_BUILT)
	bash scripts/fuzz.sh smoke $(FUZZ_SECONDS)

# In the background: each target for FUZZ_LONG_SECONDS (or FUZZ_LONG_RUNS
# inputs, whichever comes first), one after the other; each one's corpus is
# then minimised into tests/fuzz/corpus.  Progress in build/fuzz/long/.
fuzz-long: setup
	$(CMAKE) --preset fuzz
	$(CMAKE) --build --preset fuzz -j $(JOBS) --target $(FUZZ_TARGETS_BUILT)
	mkdir -p $(FUZZ_DIR)/long
	nohup bash scripts/fuzz.sh long $(FUZZ_LONG_SECONDS) $(FUZZ_LONG_RUNS) > $(FUZZ_DIR)/long/fuzz-long.log 2>&1 &
	@echo "fuzz-long: started in the background; figures in $(FUZZ_DIR)/long/summary.txt, log in $(FUZZ_DIR)/long/fuzz-long.log"

# Clang's source-based coverage of the readers and writers over the seeds
# and the kept corpus: build/fuzz-coverage/report/index.html and summary.txt.
fuzz-coverage: setup
	$(CMAKE) --preset fuzz-coverage
	$(CMAKE) --build --preset fuzz-coverage -j $(JOBS) --target $(FUZZ_TARGETS_BUILT)
	bash scripts/fuzz.sh coverage

demo: setup
	$(CMAKE) --preset native
	$(CMAKE) --build --preset native -j $(JOBS) --target quillvane-cli
	@test -r "$(DEMO_PHOTO)" || { echo "demo: $(DEMO_PHOTO) is missing (run 'make setup')" >&2; exit 1; }
	mkdir -p $(DEMO_DIR)
	$(CLI) bump --watermark $(DEMO_WATERMARK) $(DEMO_OPTIONS) "$(DEMO_PHOTO)" -o $(DEMO_OUTPUT)
	@echo
	@echo "Watermarked photograph: $(CURDIR)/$(DEMO_OUTPUT)"
	@echo "  (from $(DEMO_PHOTO) and $(DEMO_WATERMARK))"

bench:
	$(CMAKE) --preset native
	$(CMAKE) --build --preset native -j $(JOBS) --target quillvane_bench quillvane_text_bench
	$(BENCH) $(BENCH_ARGS)
	$(NATIVE_DIR)/bench/quillvane_text_bench

WINDOWS_BENCH_ARGS ?=
bench-windows: setup setup-windows
	bash bench/windows.sh $(WINDOWS_BENCH_ARGS)

COMPARE_ARGS ?=
bench-compare:
	bash bench/compare.sh $(COMPARE_ARGS)

clean:
	rm -rf build out dist
