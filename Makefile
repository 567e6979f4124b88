# Everyday entry points.  The build itself is CMake (see CMakePresets.json);
# these targets only chain the usual commands.
#
#   make demo    install what is missing, build, stamp the demo watermark
#   make test    install, build and test natively and under ASan + UBSan
#   make bench   build and time every engine (BENCH_ARGS="--reps 3 --size 2000x1500")

CMAKE ?= cmake
CTEST ?= ctest
JOBS ?= 2

NATIVE_DIR := build/native
CLI := $(NATIVE_DIR)/quillvane-cli
BENCH := $(NATIVE_DIR)/bench/quillvane_bench
BENCH_ARGS ?=

# The demo: a NASA Blue Marble photograph from Debian's xplanet-images
# package, and the watermark committed in demo/.
DEMO_PHOTO ?= /usr/share/xplanet/images/earth.jpg
DEMO_WATERMARK ?= demo/watermark.bmp
DEMO_DIR := out/demo
DEMO_OUTPUT := $(DEMO_DIR)/watermarked.jpg
# At its own size, centred over the Atlantic and Africa; ambient 66 keeps
# flat parts of the relief at their own brightness under the default light.
DEMO_OPTIONS ?= --no-enlarge --offset 724,392 --strength 60 --amplify 300 --ambient 66 --quality 90

.PHONY: all setup build test test-native test-sanitize demo bench clean

all: build

setup:
	bash scripts/install-deps.sh

build:
	$(CMAKE) --preset native
	$(CMAKE) --build --preset native -j $(JOBS)

test: setup
	$(MAKE) test-native
	$(MAKE) test-sanitize

test-native:
	$(CMAKE) --preset native
	$(CMAKE) --build --preset native -j $(JOBS)
	$(CTEST) --preset native -j $(JOBS)

test-sanitize:
	$(CMAKE) --preset sanitize
	$(CMAKE) --build --preset sanitize -j $(JOBS)
	$(CTEST) --preset sanitize -j $(JOBS)

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
	$(CMAKE) --build --preset native -j $(JOBS) --target quillvane_bench
	$(BENCH) $(BENCH_ARGS)

clean:
	rm -rf build out
