# Thin wrapper over CMake. `make run` sets up, builds, writes the example data
# set and evaluates it; `make test` sets up, builds and runs the test suite;
# `make sanitize` does the same with AddressSanitizer and UBSan; `make bench`
# builds and runs the timing programs; `make install` installs into PREFIX;
# `make readme-picture` redraws the README's picture from the example run.
# WERROR=ON turns warnings into errors.
BUILD_DIR ?= build
SANITIZE_DIR ?= build-sanitize
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
WERROR ?= OFF
PREFIX ?= /usr/local
MAKEFLAGS += --no-print-directory

EXAMPLE_DIR = $(BUILD_DIR)/example

.PHONY: all setup configure build run test sanitize bench install readme-picture clean

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

bench: build
	@$(BUILD_DIR)/bench/nq_tiff_load_bench
	@$(BUILD_DIR)/bench/nq_png_jpeg_load_bench
	@$(BUILD_DIR)/bench/nq_own_codecs_load_bench
	@$(BUILD_DIR)/bench/nq_eval_bench
	@$(BUILD_DIR)/bench/nq_analysis_bench

install: build
	@cmake --install $(BUILD_DIR) --prefix $(PREFIX)

readme-picture: run
	@$(BUILD_DIR)/examples/wexa_thumbnail $(EXAMPLE_DIR)/pictures/p001.page1.png \
		docs/example-page.png 2

clean:
	@rm -rf $(BUILD_DIR) $(SANITIZE_DIR)
