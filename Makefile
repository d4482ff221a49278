# The two commands: `make run` and `make test`. Everything else is plumbing.
# BUILD may be overridden (make test BUILD=build-x) to keep separate trees.
BUILD ?= build
B := $(abspath $(BUILD))
JOBS ?= 2
CMAKE_FLAGS ?=

.PHONY: all setup host win run test test-host test-win bootstrap clean

all: setup

bootstrap:
	@scripts/bootstrap.sh

host: bootstrap
	@cmake -S . -B $(B)/host -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_RUNTIME_OUTPUT_DIRECTORY=$(B)/bin $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(B)/host -j$(JOBS)

win: host
	@cmake -S . -B $(B)/win -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-i686.cmake \
	  -DSZDD_TOOL=$(B)/bin/szdd -DSETUP_OUTPUT_DIR=$(B) $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(B)/win -j$(JOBS)

setup: win

run: setup
	@scripts/run.sh $(B)

test-host: host
	@cd $(B)/host && ctest --output-on-failure -j$(JOBS)

test-win: win
	@cd $(B)/win && ctest --output-on-failure -j$(JOBS)

test: setup
	@scripts/test.sh $(B)

clean:
	rm -rf $(B)
