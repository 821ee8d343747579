# Two commands set everything up on a fresh Debian 12 machine:
#   make run   installs missing packages, builds and starts the program
#   make test  installs missing packages, builds and runs every test

BUILD_DIR ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all deps configure build run test bench format clean

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

bench: build
	@for b in $(BUILD_DIR)/bench/bench_*; do \
		[ -x "$$b" ] && echo "== $$b" && "$$b" || true; \
	done

format:
	@find src tests bench -name '*.cpp' -o -name '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD_DIR)
