# Top-level entry points. `make test` works on a fresh Debian/Ubuntu machine:
# it installs the missing packages, configures, builds and runs the tests.
BUILD   ?= build
JOBS    ?= 2
WERROR  ?= $(if $(CI),ON,OFF)
SUDO    := $(shell [ "$$(id -u)" = 0 ] || echo sudo)
DEBS    := cmake g++ make pkg-config libgtest-dev libgmock-dev libbenchmark-dev \
           nlohmann-json3-dev libcli11-dev \
           qt6-base-dev qt6-charts-dev qt6-svg-dev libqt6opengl6-dev libgl-dev \
           fonts-ipafont-gothic fonts-noto-cjk

.PHONY: all deps configure build test bench demo format-check clean

all: build

deps:
	@missing=""; \
	for p in $(DEBS); do dpkg -s $$p >/dev/null 2>&1 || missing="$$missing $$p"; done; \
	if [ -n "$$missing" ]; then \
	    echo "Installing:$$missing"; \
	    $(SUDO) apt-get update -qq && \
	    DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq --no-install-recommends $$missing; \
	fi

configure: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DSORVANTIX_WERROR=$(WERROR)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && LANG=C.UTF-8 ctest --output-on-failure -j $(JOBS)

# The demo race day in demo/app (never the user's own folder).
demo: build
	BUILD=$(BUILD) scripts/demo.sh

bench: configure
	cmake --build $(BUILD) -j $(JOBS) --target sorvantix_bench sorvantix_gui_bench
	$(BUILD)/bench/sorvantix_bench
	$(BUILD)/bench/sorvantix_gui_bench

# Every C++ file as clang-format 14 (Debian 12's, named in .clang-format) writes it.
format-check:
	@command -v clang-format >/dev/null || { $(SUDO) apt-get update -qq && \
	    DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq --no-install-recommends clang-format; }
	find src tests bench \( -name '*.cpp' -o -name '*.h' \) -print0 | xargs -0 clang-format --dry-run -Werror
	@echo "format-check: every file is formatted"

clean:
	rm -rf $(BUILD)
