# Thin front door: `make run` starts the utility, `make test` runs every test.
BUILD   ?= build
JOBS    ?= $(shell nproc)
CMAKE   ?= cmake
PREFIX  ?= /usr/local

# The Windows builds: x86 (32-bit, what Windows PCs get) and x64. Which of them
# runs on this machine is launcher/wine-arch's to say.
WIN_DIR_x86 = $(BUILD)/win
WIN_DIR_x64 = $(BUILD)/win64
TOOLCHAIN_x86 = mingw-i686
TOOLCHAIN_x64 = mingw-x86_64

.PHONY: all deps deps-native native asan win win-x86 win-x64 korvel-wine korvel-wine-x86 \
        korvel-wine-x64 test test-native test-asan test-win run serve bench dist deb install clean

all: native win

deps:
	@sh buildtools/install-deps.sh all

deps-native:
	@sh buildtools/install-deps.sh native

configure_native = $(CMAKE) -S . -B $(BUILD)/native -DCMAKE_BUILD_TYPE=Debug >/dev/null
configure_win = $(CMAKE) -S . -B $(WIN_DIR_$(1)) -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/$(TOOLCHAIN_$(1)).cmake \
	  -DKORVEL_NATIVE_BUILD=$(abspath $(BUILD))/native >/dev/null

native: deps
	$(configure_native)
	$(CMAKE) --build $(BUILD)/native -j $(JOBS)

asan: deps
	$(CMAKE) -S . -B $(BUILD)/asan -DCMAKE_BUILD_TYPE=Debug -DKORVEL_SANITIZE=ON >/dev/null
	$(CMAKE) --build $(BUILD)/asan -j $(JOBS)

win: win-x86 win-x64

win-x86 win-x64: win-%: deps
	$(call configure_win,$*)
	$(CMAKE) --build $(WIN_DIR_$*) -j $(JOBS)

# What launcher/korvel-wine runs, and builds when it lacks any of it: korvel.exe
# of the build that runs here (launcher/wine-arch says which; ARCH=x86 or x64
# picks one), korvel-unit and line-lock, and nothing else of either build.
korvel-wine: deps
	@arch=$(ARCH); [ -n "$$arch" ] || arch=$$(launcher/wine-arch) || exit 1; \
	$(MAKE) --no-print-directory korvel-wine-$$arch

korvel-wine-x86 korvel-wine-x64: korvel-wine-%: deps
	$(call configure_win,$*)
	$(CMAKE) --build $(WIN_DIR_$*) -j $(JOBS) --target korvel
	$(configure_native)
	$(CMAKE) --build $(BUILD)/native -j $(JOBS) --target korvel-unit line-lock

test-native: native
	cd $(BUILD)/native && ctest --output-on-failure

test-asan: asan
	cd $(BUILD)/asan && ctest --output-on-failure

# Both Windows builds are built; each one this machine runs is tested.
test-win: win native
	@archs=$$(launcher/wine-arch --runnable) || exit 1; \
	for arch in $$archs; do \
	  if [ $$arch = x86 ]; then dir=$(WIN_DIR_x86); else dir=$(WIN_DIR_x64); fi; \
	  echo "Windows tests, $$arch build, in $$dir"; \
	  launcher/wine-arch --check $$arch && (cd $$dir && ctest --output-on-failure) || exit 1; \
	done

test: test-native test-asan test-win

# On a desktop: the utility in a window, COM1 on a simulated unit that prints
# what it receives. Without a display: the same, used headless under Xvfb.
run: native
	@arch=$$(launcher/wine-arch) || exit 1; \
	$(MAKE) --no-print-directory win-$$arch || exit 1; \
	if [ -n "$$DISPLAY" ]; then launcher/korvel-wine --arch $$arch $(RUN_ARGS); \
	else launcher/korvel-demo --arch $$arch; fi

# korvel-serve on two simulated units until Ctrl-C, printing the page's address
# and the token; SERVE_ARGS="--listen 0.0.0.0:8080" for phones on the network.
serve: deps
	$(CMAKE) -S . -B $(BUILD)/native -DCMAKE_BUILD_TYPE=Debug >/dev/null
	$(CMAKE) --build $(BUILD)/native -j $(JOBS) --target korvel-serve korvel-unit
	@launcher/korvel-serve-demo --build $(abspath $(BUILD))/native $(SERVE_ARGS)

# The window's runs, in each Windows build this machine runs, headless and on
# a display; korvel-program's beside the floor of the line; korvel-program
# with 1, 8 and 32 units at once; korvel-serve, optimised as it ships, beside
# korvel-program and under load, and its broadcast on MQTT to 32 units of
# four sites; the Telnet reader on a million streams.
bench: win native asan
	bench/korvel-bench
	bench/korvel-program-bench --native-build $(BUILD)/native
	bench/korvel-units-bench --native-build $(BUILD)/native
	$(CMAKE) -S . -B $(BUILD)/bench -DCMAKE_BUILD_TYPE=Release -DKORVEL_TESTS=OFF >/dev/null
	$(CMAKE) --build $(BUILD)/bench -j $(JOBS) --target korvel-program korvel-unit korvel-serve
	bench/korvel-serve-bench --native-build $(BUILD)/bench
	bench/korvel-mqtt-bench --native-build $(BUILD)/bench
	@echo "The Telnet reader on half a million random and half a million mutated streams, sanitizers on:"
	KORVEL_TELNET_FUZZ_INPUTS=500000 $(BUILD)/asan/tests/network/network_test \
	  --gtest_filter='TelnetReaderTest.Random*:TelnetReaderTest.Garbage*' --gtest_brief=1

# korvel-<version>-win32.zip and -win64.zip with SHA256SUMS in build/dist.
dist: win
	$(CMAKE) -DSOURCE_DIR=$(CURDIR) -DWIN32_BUILD=$(abspath $(WIN_DIR_x86)) \
	  -DWIN64_BUILD=$(abspath $(WIN_DIR_x64)) -DOUT=$(abspath $(BUILD))/dist -P cmake/dist.cmake

# build/dist/korvel-program_<version>_<arch>.deb (korvel-program, korvel-unit,
# korvel-serve and its service), from an optimised build of its own with
# Debian's flags, all hardening on; lintian must pass it.
# SHA256SUMS then covers it with make dist's archives.
DEB_FLAGS = DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get
deb: deps
	$(CMAKE) -S . -B $(BUILD)/deb -DCMAKE_BUILD_TYPE=None -DKORVEL_TESTS=OFF \
	  -DCMAKE_CXX_FLAGS="$$($(DEB_FLAGS) CPPFLAGS) $$($(DEB_FLAGS) CXXFLAGS)" \
	  -DCMAKE_EXE_LINKER_FLAGS="$$($(DEB_FLAGS) LDFLAGS)" >/dev/null
	$(CMAKE) --build $(BUILD)/deb -j $(JOBS) --target korvel-program korvel-unit korvel-serve
	$(CMAKE) -DSOURCE_DIR=$(CURDIR) -DBUILD=$(abspath $(BUILD))/deb -DOUT=$(abspath $(BUILD))/dist \
	  -P deb/make-deb.cmake

# korvel-program, korvel-unit, their manual pages and korvel-program's bash
# completion under PREFIX, from an optimised build of their own that needs
# only cmake and g++ (no root when PREFIX is yours); korvel-serve and its
# service come with the package. Then where they went, and what to do when the
# shell will not find them there.
install: deps-native
	$(CMAKE) -S . -B $(BUILD)/release -DCMAKE_BUILD_TYPE=Release -DKORVEL_TESTS=OFF \
	  -DKORVEL_SERVE=OFF >/dev/null
	$(CMAKE) --build $(BUILD)/release -j $(JOBS) --target korvel-program korvel-unit
	$(CMAKE) --install $(BUILD)/release --prefix $(PREFIX) --strip
	@sh buildtools/on-path.sh $(PREFIX)

clean:
	rm -rf $(BUILD)
