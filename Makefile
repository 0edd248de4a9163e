# Thin wrapper over CMake. `make run` sets up, builds, writes the example data
# set and evaluates it; `make test` sets up, builds and runs the test suite;
# `make sanitize` does the same with AddressSanitizer and UBSan; `make bench`
# builds a Release tree of its own and runs the timing programs (the corpus
# they evaluate is generated there once). WERROR=ON turns warnings into errors.
BUILD_DIR ?= build
SANITIZE_DIR ?= build-sanitize
BENCH_DIR ?= build-bench
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
WERROR ?= OFF
MAKEFLAGS += --no-print-directory

EXAMPLE_DIR = $(BUILD_DIR)/example

.PHONY: all setup configure build run test sanitize bench clean

all: build

setup:
	@scripts/setup-deps

configure: setup
	@cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNQ_WERROR=$(WERROR) >/dev/null

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

sanitize: setup
	@cmake -S . -B $(SANITIZE_DIR) -DCMAKE_BUILD_TYPE=Debug -DNQ_SANITIZE=ON -DNQ_WERROR=$(WERROR) >/dev/null
	@cmake --build $(SANITIZE_DIR) -j $(JOBS)
	@cd $(SANITIZE_DIR) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
		ctest --output-on-failure -j $(JOBS)

bench: setup
	@cmake -S . -B $(BENCH_DIR) -DCMAKE_BUILD_TYPE=Release -DNQ_BUILD_TESTS=OFF -DNQ_WERROR=$(WERROR) >/dev/null
	@cmake --build $(BENCH_DIR) -j $(JOBS) --target wexa nq_wexa_bench nq_tiff_load_bench nq_eval_bench
	@$(BENCH_DIR)/bench/nq_wexa_bench run $(BENCH_DIR)/app/wexa $(BENCH_DIR)/work
	@$(BENCH_DIR)/bench/nq_tiff_load_bench
	@$(BENCH_DIR)/bench/nq_eval_bench

clean:
	@rm -rf $(BUILD_DIR) $(SANITIZE_DIR) $(BENCH_DIR)
