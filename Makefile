# quillrun: the two everyday commands are `make run` and `make test`.
BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc)

.PHONY: all deps configure build run test package test-package image test-image bench fuzz test-asan clean

all: build

deps:
	@bash scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	@bash scripts/run-program $(BUILD_DIR)/dist/quillrun

test: build
	@cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# A Debian package of the installed program, in $(BUILD_DIR)/package/.
package: build
	@cd $(BUILD_DIR) && cpack -G DEB

test-package: build
	@BUILD_DIR=$(BUILD_DIR) bash scripts/test-package

# An OCI image of the package on Debian 12 (mmdebstrap, no registry), in $(BUILD_DIR)/image/.
image: build
	@BUILD_DIR=$(BUILD_DIR) bash scripts/make-image

# The image's program run: in a container where the machine has one, else in its root file system.
test-image: image
	@BUILD_DIR=$(BUILD_DIR) bash scripts/test-image

bench: build
	@$(BUILD_DIR)/bench/quillrun_bench

fuzz: deps
	@CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLRUN_BUILD_FUZZ=ON \
	  -DQUILLRUN_BUILD_GUI=OFF -DQUILLRUN_BUILD_TESTS=OFF -DQUILLRUN_BUILD_BENCH=OFF >/dev/null
	@cmake --build build-fuzz -j $(JOBS)
	@bash scripts/run-fuzzers

# The browser engine's own code (not instrumented) deletes some of its objects by a base type,
# which AddressSanitizer would report from inside the engine: that one check is off.
test-asan: deps
	@cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DQUILLRUN_SANITIZE=ON \
	  -DQUILLRUN_BUILD_BENCH=OFF >/dev/null
	@cmake --build build-asan -j $(JOBS)
	@cd build-asan && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0:new_delete_type_mismatch=0 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure -j $(JOBS)

clean:
	rm -rf $(BUILD_DIR) build-fuzz build-asan
