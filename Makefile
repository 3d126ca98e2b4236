# The commands of Vexo View: `make run` and `make test` set everything up on a
# fresh Debian 12 machine; `make bench` prints the performance figures;
# `make fuzz` runs the fuzz targets of the log readers, FUZZ_SECONDS each;
# `make install PREFIX=...` installs the program with its menu entry, and
# `make uninstall PREFIX=...` removes it again.

BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
FUZZ_SECONDS ?= 60
PREFIX ?= /usr/local

.PHONY: run test bench fuzz build setup install uninstall clean

setup:
	@scripts/setup-debian.sh

build: setup
	@cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) >/dev/null
	@cmake --build $(BUILD_DIR)

run: build
	@scripts/run-app.sh $(BUILD_DIR)/app/vexoview

test: build
	@cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j$$(nproc)

bench: build
	@QT_QPA_PLATFORM=offscreen $(BUILD_DIR)/bench/vexo_bench

fuzz:
	@scripts/setup-debian.sh fuzz
	@FUZZ_SECONDS=$(FUZZ_SECONDS) scripts/run-fuzz.sh

install: build
	@cmake --install $(BUILD_DIR) --prefix "$(PREFIX)" --strip

uninstall:
	@cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) >/dev/null
	@cmake -DPREFIX="$(PREFIX)" -P $(BUILD_DIR)/uninstall.cmake

clean:
	rm -rf $(BUILD_DIR) build-sanitize build-fuzz
