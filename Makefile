# The two commands a newcomer needs:
#   make demo   build everything and run Setup.exe under Wine, then show its log
#   make test   run every test, host and Windows
# Each first installs whatever this Debian 12 machine lacks (scripts/setup-deps.sh).

.PHONY: all deps build test demo demo-protected bench clean

all: build

deps:
	@scripts/setup-deps.sh

# Sub-makes keep quiet about the folders they enter.
MAKEFLAGS += --no-print-directory

# The build's own output goes to build/build.log, shown in full when it fails.
build: deps
	@mkdir -p build
	@echo "== building the trees under build/ and dist/ (output in build/build.log)"
	@if scripts/build.sh >build/build.log 2>&1; then \
	  echo "dist/Setup.exe: $$(stat -c %s dist/Setup.exe) bytes"; \
	else \
	  cat build/build.log; echo "== the build failed; its output is above and in build/build.log"; exit 1; \
	fi

test: build
	@scripts/run-tests.sh

demo: build
	@scripts/demo.sh

# The same with an installed client protected by an uninstall password.
demo-protected: build
	@scripts/demo.sh --protected

bench: build
	@bench/bench.sh

clean:
	rm -rf build dist
