# The two commands a newcomer needs:
#   make demo   build everything and run Setup.exe under Wine, then show its log
#   make test   run every test, host and Windows
# Each first installs whatever this Debian 12 machine lacks (scripts/setup-deps.sh).

.PHONY: all deps build test demo demo-protected bench clean

all: build

deps:
	@scripts/setup-deps.sh

build: deps
	@scripts/build.sh

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
