# Thin wrapper over CMake. `make run` sets up, builds, writes the example data
# set and evaluates it; `make test` sets up, builds and runs the test suite;
# `make bench` runs the timing programs; `make sanitize` does the same as
# `make test` with AddressSanitizer and UBSan.
BUILD_DIR ?= build
SANITIZE_DIR ?= build-sanitize
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
MAKEFLAGS += --no-print-directory

EXAMPLE_DIR = $(BUILD_DIR)/example

.PHONY: all setup configure build run test bench sanitize clean

all: build

setup:
	@scripts/setup-deps

configure: setup
	@cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	@rm -rf $(EXAMPLE_DIR)
	@$(BUILD_DIR)/examples/wexa_example $(EXAMPLE_DIR)
	@cd $(EXAMPLE_DIR) && ../app/wexa -g gt -r res -i images -o report.txt -detail -v visual
	@echo
	@echo "Report:                   $(EXAMPLE_DIR)/report.txt"
	@echo "Annotated result files:   $(EXAMPLE_DIR)/visual/"

test: build
	@cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

bench: build
	@$(BUILD_DIR)/bench/nq_tiff_load_bench
	@$(BUILD_DIR)/bench/nq_png_jpeg_load_bench
	@$(BUILD_DIR)/bench/nq_analysis_bench

sanitize: setup
	@cmake -S . -B $(SANITIZE_DIR) -DCMAKE_BUILD_TYPE=Debug -DNQ_SANITIZE=ON >/dev/null
	@cmake --build $(SANITIZE_DIR) -j $(JOBS)
	@cd $(SANITIZE_DIR) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
		ctest --output-on-failure -j $(JOBS)

clean:
	@rm -rf $(BUILD_DIR) $(SANITIZE_DIR)
