# Two commands do everything on a fresh Debian machine: `make run` and `make test`.
BUILD := build/mingw64
JOBS ?= $(shell nproc)
MAKEFLAGS += --no-print-directory

.PHONY: all deps build prefix test run bench fuzz installer clean

all: build

deps:
	@tools/install-deps.sh

build: deps
	@cmake --preset mingw64 >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

prefix: deps
	@tools/wine-prefix.sh

test: build
	@tools/run-tests.sh $(BUILD)

run: build prefix
	@tools/run-programs.sh $(BUILD)

bench: build
	@cmake --build $(BUILD) -j $(JOBS) --target kx_benches
	@tools/run-bench.sh $(BUILD)

fuzz: deps prefix
	@tools/run-fuzz.sh

installer: build
	@tools/build-installer.sh $(BUILD)

clean:
	rm -rf $(BUILD)
