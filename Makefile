# Thin wrapper over CMake. `make run` sets up, builds, writes the example data
# set and evaluates it; `make test` sets up, builds and runs the test suite;
# `make sanitize` does the same with AddressSanitizer and UBSan; `make bench`
# builds a Release tree of its own and runs the timing programs (the corpus
# they evaluate is generated there once); `make install` installs into PREFIX;
# `make readme-picture` redraws the README's picture from the example run.
# WERROR=ON turns warnings into errors.
# `make fuzz FUZZ_SECONDS=N` fuzzes every untrusted input for N seconds each
# (clang, libFuzzer, ASan and UBSan, in build-fuzz/); `make fuzz-regress` runs
# every fuzz target of the sanitizer build once over its seeds and saved
# reproducers.
BUILD_DIR ?= build
SANITIZE_DIR ?= build-sanitize
BENCH_DIR ?= build-bench
FUZZ_DIR ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_CC ?= clang-14
FUZZ_CXX ?= clang++-14
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
WERROR ?= OFF
PREFIX ?= /usr/local
MAKEFLAGS += --no-print-directory

EXAMPLE_DIR = $(BUILD_DIR)/example

.PHONY: all setup configure build run test sanitize bench install readme-picture fuzz-build \
	fuzz fuzz-regress clean

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
	@cd $(EXAMPLE_DIR) && ../app/wexa -g gt -r res -i images -o report.txt -detail -v visual \
		-json report.json -vimg pictures
	@echo
	@awk '/^- (Number|Accuracy)/ { print } \
		/^0[13]\. / { on = 1; blanks = 0; print ""; print; next } \
		on && /^=+$$/ { next } \
		on && /^$$/ { if (++blanks == 2) on = 0; next } \
		on { print }' $(EXAMPLE_DIR)/report.txt
	@echo
	@echo "Report:                   $(EXAMPLE_DIR)/report.txt"
	@echo "JSON:                     $(EXAMPLE_DIR)/report.json"
	@echo "Annotated result files:   $(EXAMPLE_DIR)/visual/"
	@echo "Pictures of the pages:    $(EXAMPLE_DIR)/pictures/"

test: build
	@cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

sanitize: setup
	@cmake -S . -B $(SANITIZE_DIR) -DCMAKE_BUILD_TYPE=Debug -DNQ_SANITIZE=ON -DNQ_WERROR=$(WERROR) >/dev/null
	@cmake --build $(SANITIZE_DIR) -j $(JOBS)
	@cd $(SANITIZE_DIR) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
		ctest --output-on-failure -j $(JOBS)

bench: setup
	@cmake -S . -B $(BENCH_DIR) -DCMAKE_BUILD_TYPE=Release -DNQ_BUILD_TESTS=OFF -DNQ_WERROR=$(WERROR) >/dev/null
	@cmake --build $(BENCH_DIR) -j $(JOBS) --target wexa nq_wexa_bench nq_tiff_load_bench \
		nq_png_jpeg_load_bench nq_own_codecs_load_bench nq_eval_bench nq_analysis_bench nq_merge_bench
	@$(BENCH_DIR)/bench/nq_wexa_bench run $(BENCH_DIR)/app/wexa $(BENCH_DIR)/work
	@$(BENCH_DIR)/bench/nq_tiff_load_bench
	@$(BENCH_DIR)/bench/nq_png_jpeg_load_bench
	@$(BENCH_DIR)/bench/nq_own_codecs_load_bench
	@$(BENCH_DIR)/bench/nq_eval_bench
	@$(BENCH_DIR)/bench/nq_analysis_bench
	@$(BENCH_DIR)/bench/nq_merge_bench

install: build
	@cmake --install $(BUILD_DIR) --prefix $(PREFIX)

readme-picture: run
	@$(BUILD_DIR)/examples/wexa_thumbnail $(EXAMPLE_DIR)/pictures/p001.page1.png \
		docs/example-page.png 2

fuzz-build:
	@scripts/setup-deps fuzz
	@CC=$(FUZZ_CC) CXX=$(FUZZ_CXX) cmake -S . -B $(FUZZ_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DNQ_FUZZ=ON -DNQ_BUILD_TESTS=OFF -DNQ_WERROR=$(WERROR) >/dev/null
	@cmake --build $(FUZZ_DIR) -j $(JOBS) --target nq_fuzzers

fuzz: fuzz-build
	@fuzz/run-fuzzers $(FUZZ_DIR) fuzz $(FUZZ_SECONDS)

fuzz-regress: setup
	@cmake -S . -B $(SANITIZE_DIR) -DCMAKE_BUILD_TYPE=Debug -DNQ_SANITIZE=ON -DNQ_WERROR=$(WERROR) >/dev/null
	@cmake --build $(SANITIZE_DIR) -j $(JOBS) --target nq_fuzzers
	@ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
		fuzz/run-fuzzers $(SANITIZE_DIR) regress

clean:
	@rm -rf $(BUILD_DIR) $(SANITIZE_DIR) $(BENCH_DIR) $(FUZZ_DIR)
