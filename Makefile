# Top-level entry points. `make test` works on a fresh Debian/Ubuntu machine:
# it installs the missing packages, configures, builds and runs the tests.
BUILD   ?= build
JOBS    ?= 2
WERROR  ?= $(if $(CI),ON,OFF)
# ccache serves every build folder; paths are taken relative to the checkout, so another
# checkout of the same code (CI's clone) finds the same objects.
export CCACHE_BASEDIR := $(CURDIR)
export CCACHE_NOHASHDIR := 1
DEBS    := ccache cmake g++ make pkg-config libgtest-dev libgmock-dev libbenchmark-dev \
           nlohmann-json3-dev libcli11-dev libsqlite3-dev sqlite3 \
           qt6-base-dev qt6-charts-dev qt6-svg-dev libqt6opengl6-dev libgl-dev \
           fonts-ipafont-gothic fonts-noto-cjk qt6-translations-l10n
# The fuzz targets need clang and its libFuzzer runtime.
FUZZ_DEBS := clang libclang-rt-14-dev
# The 32-bit Windows bridge to JV-Link (run under Wine or on Windows).
BRIDGE_DEBS := g++-mingw-w64-i686-posix
# Wine with its 32-bit side, for the bridge's tests (needs the i386 architecture).
WINE_DEBS := wine wine32:i386 wine64
BRIDGE_TEST_DIR := $(CURDIR)/build-bridge
SAN_ENV := LANG=C.UTF-8 QT_QPA_PLATFORM=offscreen
ASAN_ENV := $(SAN_ENV) ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
            UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
TSAN_ENV := $(SAN_ENV) TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:die_after_fork=0:suppressions=$(CURDIR)/tests/tsan.supp
# The tests of the request queue, the acquisitions and their timers, and the replay that
# reads the clock on the request thread.
TSAN_CORE_TESTS := RequestQueue*:WorkbenchAcquisition*:AutoAcquisition*:OddsSchedule*:JvLinkSchedule*:IntervalTicker*:OperationBoundary*:RequestMessages*:QueuedCardsTest*:ReplayKeepingTime*

.PHONY: all deps fuzz-deps configure build test bench demo format-check sanitize tsan \
        fuzz-smoke clean bridge wine-deps test-bridge

all: build

# Installs what is missing: as root directly, else through sudo; says what to install
# when neither can.
define install_missing
	@missing=""; \
	for p in $(1); do dpkg -s $$p >/dev/null 2>&1 || missing="$$missing $$p"; done; \
	if [ -n "$$missing" ]; then \
	    if [ "$$(id -u)" = 0 ]; then sudo=""; \
	    elif command -v sudo >/dev/null && { sudo -n true 2>/dev/null || [ -t 0 ]; }; then sudo=sudo; \
	    else echo "Missing Debian packages:$$missing"; \
	         echo "Install them as root (apt-get install$$missing) or run make with sudo rights."; \
	         exit 1; fi; \
	    echo "Installing:$$missing"; \
	    $$sudo apt-get update -qq && \
	    DEBIAN_FRONTEND=noninteractive $$sudo apt-get install -y -qq --no-install-recommends $$missing; \
	fi
endef

deps:
	$(call install_missing,$(DEBS))

fuzz-deps: deps
	$(call install_missing,$(FUZZ_DEBS))

configure: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DSORVANTIX_WERROR=$(WERROR)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && LANG=C.UTF-8 ctest --output-on-failure -j $(JOBS)
	@echo "The bridge's tests under Wine (the real bridge and a stand-in JV-Link) are not part of"
	@echo "make test$$(command -v wine >/dev/null || echo ' and Wine is not installed'): make test-bridge runs them."

# The demo race day in demo/app (never the user's own folder).
demo: build
	BUILD=$(BUILD) scripts/demo.sh

# The benchmark table (bench/run: Release build in build-bench, figures and ratios).
bench: deps
	bench/run

# Every C++ file as clang-format 14 (Debian 12's, named in .clang-format) writes it.
format-check:
	$(call install_missing,clang-format)
	find src tests bench fuzz \( -name '*.cpp' -o -name '*.h' \) -print0 | xargs -0 clang-format --dry-run -Werror
	@echo "format-check: every file is formatted"

# The whole test suite under AddressSanitizer and UndefinedBehaviorSanitizer.
sanitize: deps
	cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSORVANTIX_SANITIZE=address \
	    -DSORVANTIX_WERROR=$(WERROR)
	cmake --build build-asan -j $(JOBS)
	cd build-asan && $(ASAN_ENV) ctest --output-on-failure -j $(JOBS)

# The request queue, acquisition, long task and window timer tests under ThreadSanitizer (setarch -R:
# GCC 12's TSan cannot map its shadow under the newest kernels' address randomisation).
tsan: deps
	cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSORVANTIX_SANITIZE=thread \
	    -DSORVANTIX_WERROR=$(WERROR)
	cmake --build build-tsan -j $(JOBS) --target core_tests gui_tests gui_windows_tests gui_study_tests
	$(TSAN_ENV) setarch $$(uname -m) -R build-tsan/tests/core_tests --gtest_filter='$(TSAN_CORE_TESTS)'
	$(TSAN_ENV) setarch $$(uname -m) -R build-tsan/tests/gui/gui_tests automaticAcquisitionFetchesADueRace \
	    liveFollowingRefreshesRacesWithoutMovingTheRaceShown
	$(TSAN_ENV) setarch $$(uname -m) -R build-tsan/tests/gui/gui_windows_tests
	$(TSAN_ENV) setarch $$(uname -m) -R build-tsan/tests/gui/gui_study_tests

# Every fuzz target for a short time (scripts/fuzz.sh --time 600 for a real run).
FUZZ_TIME ?= 20
fuzz-smoke: fuzz-deps
	scripts/fuzz.sh --time $(FUZZ_TIME)

# sorvantix-jvlink-bridge.exe (and the test stand-in fake-jvlink.dll) in build-bridge.
bridge:
	$(call install_missing,$(BRIDGE_DEBS))
	cmake -S src/bridge -B build-bridge -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-i686.cmake \
	    -DCMAKE_BUILD_TYPE=Release
	cmake --build build-bridge -j $(JOBS)

wine-deps:
	@if ! dpkg -s wine32:i386 >/dev/null 2>&1 && ! dpkg --print-foreign-architectures | grep -qx i386; then \
	    if [ "$$(id -u)" = 0 ]; then dpkg --add-architecture i386; \
	    else sudo dpkg --add-architecture i386; fi; \
	fi
	$(call install_missing,$(WINE_DEBS))

# The bridge end to end under Wine: the real bridge hosting the stand-in JV-Link object
# registered in a test prefix, against the replay of the same generated feed.
test-bridge: build bridge wine-deps
	@[ -d $(BRIDGE_TEST_DIR)/test-feed/RACE ] || \
	    $(BUILD)/src/feed/sorvantix-feed --out $(BRIDGE_TEST_DIR)/test-feed --from 2026-12-06 --seed 11 >/dev/null
	scripts/wine_jvlink.sh --prefix $(BRIDGE_TEST_DIR)/test-prefix \
	    --register-fake $(BRIDGE_TEST_DIR)/test-feed --build $(BRIDGE_TEST_DIR)
	SORVANTIX_WINE_PREFIX=$(BRIDGE_TEST_DIR)/test-prefix \
	    SORVANTIX_BRIDGE=$(BRIDGE_TEST_DIR)/sorvantix-jvlink-bridge.exe \
	    SORVANTIX_FAKE_FEED=$(BRIDGE_TEST_DIR)/test-feed LANG=C.UTF-8 \
	    $(BUILD)/tests/core_tests --gtest_filter='WineBridge*'
	bash tests/bridge/bridge_wine_test.sh $(CURDIR)/$(BUILD)/src/cli/sorvantix-cli $(BRIDGE_TEST_DIR) \
	    $(BRIDGE_TEST_DIR)/test-prefix $(BRIDGE_TEST_DIR)/test-feed

clean:
	rm -rf $(BUILD) build-asan build-tsan build-fuzz build-bench build-bridge
