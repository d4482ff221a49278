# The two commands: `make run` and `make test`. Everything else is plumbing.
# BUILD may be overridden (make test BUILD=build-x) to keep separate trees.
BUILD ?= build
B := $(abspath $(BUILD))
JOBS ?= 2
CMAKE_FLAGS ?=
REPORT_PORT ?= 80

.PHONY: all setup host win run test test-host test-win bootstrap clean report-server fault-walk

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

# Every call site of an installation, a reinstallation and an uninstall
# failed and ended in turn under the fault injector (tests/support/fault).
fault-walk: setup
	@cmake --build $(B)/win --target fault-walk-full

# The crash report server on this machine's loopback, its reports in the
# build tree, the addresses named by the symbol file of the build there.
# /reports asks for the password kept in report-server/password there (made
# at random on the first start).
report-server: bootstrap
	@mkdir -p $(B)/report-server
	@test -s $(B)/report-server/password || (umask 077 && python3 -c \
	  'import secrets; print(secrets.token_urlsafe(18))' > $(B)/report-server/password)
	@umask 077 && python3 server/vreport.py --host 127.0.0.1 --port $(REPORT_PORT) \
	  --db $(B)/report-server/reports.sqlite3 --password-file $(B)/report-server/password \
	  --symbols $(B)

clean:
	rm -rf $(B)
