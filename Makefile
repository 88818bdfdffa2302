# Thin front door: `make run` starts the utility, `make test` runs every test.
BUILD   ?= build
JOBS    ?= $(shell nproc)
CMAKE   ?= cmake

.PHONY: all deps native asan win test test-native test-asan test-win run bench clean

all: native win

deps:
	@sh tools/install-deps.sh

native: deps
	$(CMAKE) -S . -B $(BUILD)/native -DCMAKE_BUILD_TYPE=Debug >/dev/null
	$(CMAKE) --build $(BUILD)/native -j $(JOBS)

asan: deps
	$(CMAKE) -S . -B $(BUILD)/asan -DCMAKE_BUILD_TYPE=Debug -DKORVEL_SANITIZE=ON >/dev/null
	$(CMAKE) --build $(BUILD)/asan -j $(JOBS)

win: deps
	$(CMAKE) -S . -B $(BUILD)/win -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-i686.cmake \
	  -DKORVEL_NATIVE_BUILD=$(abspath $(BUILD))/native >/dev/null
	$(CMAKE) --build $(BUILD)/win -j $(JOBS)

test-native: native
	cd $(BUILD)/native && ctest --output-on-failure

test-asan: asan
	cd $(BUILD)/asan && ctest --output-on-failure

test-win: win native
	cd $(BUILD)/win && ctest --output-on-failure

test: test-native test-asan test-win

# On a desktop: the utility in a window, COM1 on a simulated unit that prints
# what it receives. Without a display: the same, used headless under Xvfb.
run: native win
	@if [ -n "$$DISPLAY" ]; then tools/korvel-wine $(RUN_ARGS); else tools/korvel-demo; fi

bench: native win
	tools/korvel-bench

clean:
	rm -rf $(BUILD)
