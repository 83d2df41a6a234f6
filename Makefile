# SPDX-License-Identifier: GPL-3.0-or-later
# Front door. `make run` and `make test` set everything up on a fresh Debian 12.
# Each target installs only the Debian packages it needs (the groups of
# tools/debian-packages.txt): `make` the build group, `make run` also the run
# group, `make test` also the test group, `make deps` all three. Nothing is
# installed when the packages are there, so a user without root can build.
BUILD      ?= build
BUILD_ASAN ?= build-check
BUILD_FUZZ ?= build-fuzz
JOBS       ?= $(shell nproc)
FUZZ_SECONDS ?= 120
PREFIX     ?= /usr/local
# Every libFuzzer target, by corpus name; `make fuzz FUZZ_TARGETS=gif_reader` runs one.
FUZZ_TARGETS ?= icon_source gif_reader gif_lzw tiff_lzw picture_reader http_header smtp_reply mime_types profile_file
CMAKE_GEN  := -G Ninja

.PHONY: all deps build run test install package check lint format format-check fuzz bench fixtures clean

all: build

deps:
	@tools/install-deps.sh build run test

$(BUILD)/build.ninja: CMakeLists.txt
	cmake -S . -B $(BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build:
	@tools/install-deps.sh build
	@$(MAKE) --no-print-directory $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

run: build
	@tools/install-deps.sh run
	$(BUILD)/bin/vextral $(wildcard $(CURDIR)/samples/*)

# The test group comes first, so that a first build finds what tests use.
test:
	@tools/install-deps.sh build run test
	@$(MAKE) --no-print-directory build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# The programs, the user guide, the desktop entry, icons, thumbnailer,
# AppStream data and manual pages under PREFIX; DESTDIR stages them elsewhere.
install: build
	DESTDIR=$(DESTDIR) cmake --install $(BUILD) --prefix $(PREFIX)

# The Debian package ($(BUILD)/vextral_<version>_<arch>.deb), installed under /usr.
package: build
	cd $(BUILD) && cpack -G DEB

# The tests under the sanitizers, with every compiler warning an error.
check:
	@tools/install-deps.sh build run test
	cmake -S . -B $(BUILD_ASAN) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DVEXTRAL_SANITIZE=ON -DVEXTRAL_WERROR=ON
	cmake --build $(BUILD_ASAN) -j $(JOBS)
	cd $(BUILD_ASAN) && ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions=$(CURDIR)/tools/lsan.supp UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j $(JOBS)

# clang-tidy (.clang-tidy, with the clang static analyzer's checks) over every
# source file of src/, using the build's compile commands; fails on any
# finding and whenever clang-tidy itself fails.
lint: build
	@tools/install-deps.sh lint
	tools/lint.sh $(BUILD)

# Applies .clang-format to src/, tests/ and bench/.
format:
	@tools/install-deps.sh lint
	find src tests bench -name '*.cpp' -o -name '*.h' | xargs clang-format -i

# Fails when a file of src/, tests/ or bench/ is not as .clang-format wants it.
format-check:
	@tools/install-deps.sh lint
	tools/format-check.sh

# Runs each libFuzzer target for FUZZ_SECONDS, one after the other, then merges
# what it learnt into the committed corpus (kept small) and keeps any crash
# under tests/fuzz/crashes.
fuzz:
	@tools/install-deps.sh build fuzz
	CC=clang CXX=clang++ cmake -S . -B $(BUILD_FUZZ) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DVEXTRAL_FUZZ=ON -DVEXTRAL_GUI=OFF -DVEXTRAL_TESTS=OFF
	cmake --build $(BUILD_FUZZ) -j $(JOBS) $(foreach t,$(FUZZ_TARGETS),--target fuzz_$(t))
	status=0; for t in $(FUZZ_TARGETS); do \
	  tools/fuzz.sh $(BUILD_FUZZ)/bin/fuzz_$$t $$t $(FUZZ_SECONDS) || status=1; \
	done; exit $$status

bench: build
	@tools/install-deps.sh run bench
	cmake --build $(BUILD) -j $(JOBS) --target benchmarks
	bench/compare_wrestool.sh $(BUILD)
	$(BUILD)/bin/bench_gui_harvest
	$(BUILD)/bin/bench_gui_harvest --folder /usr
	$(BUILD)/bin/bench_icon_browser
	$(BUILD)/bin/bench_print
	$(BUILD)/bin/bench_web
	$(BUILD)/bin/bench_base64
	bench/compare_find.sh $(BUILD) /usr
	bench/compare_gif.sh $(BUILD)
	bench/compare_convert.sh $(BUILD)
	bench/compare_harvest.sh $(BUILD)
	bench/compare_thumbnailer.sh $(BUILD)
	bench/compare_startup.sh $(BUILD)

fixtures:
	@tools/install-deps.sh fixtures
	tools/fixtures/make_fixtures.sh

clean:
	rm -rf $(BUILD) $(BUILD_ASAN) $(BUILD_FUZZ)
