# The two commands of the README: `make run` and `make test`.
.PHONY: setup build build-x64 build-x86 test test-x64 test-x86 run bench clean

setup:
	@bash scripts/setup.sh

build-x64: setup
	@cmake --preset x64 >/dev/null
	@cmake --build --preset x64

build-x86: setup
	@cmake --preset x86 >/dev/null
	@cmake --build --preset x86

build: build-x64 build-x86

test-x64: build-x64
	ctest --preset x64

test-x86: build-x86
	ctest --preset x86

test: build
	ctest --preset x64
	ctest --preset x86

run: build
	@bash scripts/run.sh

bench: build-x64
	@bash bench/bench.sh

clean:
	rm -rf build
