# Two commands set everything up on a fresh Debian 12 machine:
#   make run   installs missing packages, builds and starts the program
#   make test  installs missing packages, builds and runs every test
# Reliability runs, each in a build folder of its own:
#   make sanitize  the whole suite under AddressSanitizer and UBSan
#   make fuzz      each libFuzzer harness for FUZZ_SECONDS (clang)

BUILD_DIR ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all deps configure build run test bench package format clean sanitize fuzz

all: build

deps:
	@bash scripts/install-deps.sh

# Ninja is looked for when configuring, after `deps` has installed it (on a
# fresh machine it is not there yet when make reads this file).
configure: deps
	@if [ ! -f $(BUILD_DIR)/CMakeCache.txt ]; then \
		generator=""; command -v ninja >/dev/null 2>&1 && generator="-G Ninja"; \
		cmake -S . -B $(BUILD_DIR) $$generator -DCMAKE_BUILD_TYPE=Release; \
	fi

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	cd examples && ../$(BUILD_DIR)/src/app/tarvik

test: build
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# The Debian package tarvik_<version>_amd64.deb in the build folder
# (cmake/Package.cmake); scripts/check-package.sh installs it on a bare root.
package: build
	cd $(BUILD_DIR) && cpack

bench: build
	@for b in $(BUILD_DIR)/bench/bench_*; do \
		[ -x "$$b" ] && echo "== $$b" && "$$b" || true; \
	done

SANITIZE_DIR ?= build-sanitize
FUZZ_DIR ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_TARGETS := data_file paste numbers cutoffs assessment_file

sanitize: deps
	@if [ ! -f $(SANITIZE_DIR)/CMakeCache.txt ]; then \
		cmake -S . -B $(SANITIZE_DIR) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARVIK_SANITIZE=ON; \
	fi
	cmake --build $(SANITIZE_DIR) -j $(JOBS)
	cd $(SANITIZE_DIR) && QT_QPA_PLATFORM=offscreen \
		ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
		UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
		ctest --output-on-failure -j $(JOBS)

# New inputs go to $(FUZZ_DIR)/corpus, findings to $(FUZZ_DIR)/findings; an
# input that found a fault belongs in fuzz/corpus/<target> once it is mended.
fuzz: deps
	@command -v clang++ >/dev/null || { echo "make fuzz needs clang++"; exit 1; }
	@if [ ! -f $(FUZZ_DIR)/CMakeCache.txt ]; then \
		cmake -S . -B $(FUZZ_DIR) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
			-DCMAKE_CXX_COMPILER=clang++ -DTARVIK_FUZZ=ON; \
	fi
	cmake --build $(FUZZ_DIR) -j $(JOBS) --target $(addprefix fuzz_,$(FUZZ_TARGETS))
	@failed=""; for t in $(FUZZ_TARGETS); do \
		mkdir -p $(FUZZ_DIR)/corpus/$$t $(FUZZ_DIR)/findings/$$t; \
		echo "== fuzz_$$t, $(FUZZ_SECONDS) s"; \
		$(FUZZ_DIR)/fuzz/fuzz_$$t -max_total_time=$(FUZZ_SECONDS) -timeout=10 -rss_limit_mb=2048 \
			-max_len=16384 -print_final_stats=1 -artifact_prefix=$(FUZZ_DIR)/findings/$$t/ \
			$(FUZZ_DIR)/corpus/$$t fuzz/corpus/$$t || failed="$$failed $$t"; \
	done; \
	if [ -n "$$failed" ]; then echo "Findings in:$$failed (see $(FUZZ_DIR)/findings)"; exit 1; fi

format:
	@find src tests bench fuzz -name '*.cpp' -o -name '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD_DIR) $(SANITIZE_DIR) $(FUZZ_DIR)
