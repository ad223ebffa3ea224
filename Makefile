# The two everyday commands: `make run` and `make test`; `make package`
# builds the Debian package (pelmarterm_<version>_<arch>.deb in $(BUILD)).
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: deps configure build run test bench package clean

deps:
	bash scripts/install-deps

configure: deps
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	cd $(BUILD) && ./pelmarterm

test: build
	QT_QPA_PLATFORM=offscreen ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

package: build
	cd $(BUILD) && cpack -G DEB

bench: build
	$(BUILD)/bench/pt_bench_core

clean:
	rm -rf $(BUILD)
