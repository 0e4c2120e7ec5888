# The two commands of the README: `make run` and `make test`.
.PHONY: setup build build-x64 build-x86 build-run test test-x64 test-x86 run run-gui bench clean

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

# What `make run` needs, and nothing of the tests: the programs and the demo
# machine's fixtures of the x64 build.
build-run: setup
	@cmake --preset x64 >/dev/null
	@cmake --build --preset x64 --target VexloGather VexloHelper demo_machine -- --no-print-directory

run: build-run
	@bash scripts/run.sh

run-gui: build-run
	@bash scripts/run.sh --gui

bench: build-x64
	@bash bench/bench.sh

clean:
	rm -rf build
