# Short names for the everyday builds. CMake and Ninja do the work; every build has its own
# folder, so switching between them never rebuilds from scratch.
CMAKE_GENERATOR := -G Ninja
# CI builds with warnings as errors.
WERROR := $(if $(filter true,$(CI)),ON,OFF)
CONFIGURE = cmake -S . $(CMAKE_GENERATOR) -DTARN_WERROR=$(WERROR)

.PHONY: all build run test bench native pgo test-sanitize test-tsan fuzz windows test-windows dist format clean

all: build

# The release build in build/. Its tests are built where GoogleTest is installed (AUTO); make
# test requires them (ON). Both settings make the same build, so switching rebuilds nothing.
RELEASE = $(CONFIGURE) -B build -DCMAKE_BUILD_TYPE=Release -DTARN_BUILD_TESTS=

build:
	@$(RELEASE)AUTO > /dev/null
	cmake --build build

# Builds the release engine alone (no tests, no bench, no GoogleTest needed) and starts it on
# this terminal: type protocol commands, END quits.
run:
	@$(RELEASE)AUTO > /dev/null
	cmake --build build --target pbrain-tarn
	./build/pbrain-tarn

# ctest reports a test that skipped itself only as "Skipped"; the reason the test printed (a
# line "skipped: ...") follows the summary.
test:
	@$(RELEASE)ON > /dev/null
	cmake --build build
	ctest --test-dir build --output-on-failure -j2
	@awk '/^[0-9]+\/[0-9]+ Test: /{test = $$3} /^skipped: /{print test " " $$0}' \
		build/Testing/Temporary/LastTest.log

bench:
	@$(RELEASE)AUTO > /dev/null
	cmake --build build --target tarn-bench
	./build/tarn-bench

# Same sources, tuned for this machine's own instruction set.
native:
	@$(CONFIGURE) -B build-native -DCMAKE_BUILD_TYPE=Release -DTARN_NATIVE=ON > /dev/null
	cmake --build build-native

pgo:
	bash bench/pgo.sh

test-sanitize:
	@$(CONFIGURE) -B build-sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARN_SANITIZE=ON > /dev/null
	cmake --build build-sanitize
	ctest --test-dir build-sanitize --output-on-failure -j2

# The tests that run the search on several threads (the label "threads", tests/CMakeLists.txt),
# under ThreadSanitizer; the first report fails the run, the engine processes of the end-to-end
# tests included.
test-tsan:
	@$(CONFIGURE) -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARN_TSAN=ON > /dev/null
	cmake --build build-tsan
	TSAN_OPTIONS=halt_on_error=1 ctest --test-dir build-tsan --output-on-failure -j2 -L threads

FUZZ_SECONDS ?= 60
fuzz:
	bash tests/fuzz/run.sh $(FUZZ_SECONDS)

WINDOWS = $(CONFIGURE) -B build-windows --no-warn-unused-cli -DCMAKE_BUILD_TYPE=Release \
	-DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DTARN_BUILD_TESTS=OFF
# The toolchain file builds with the posix-threads compiler of mingw-w64 (tools/dist.sh tests the same).
MINGW := $(shell command -v x86_64-w64-mingw32-g++-posix)

windows:
	@$(WINDOWS) > /dev/null
	cmake --build build-windows

# The Linux build's end-to-end tests drive the .exe, so they are built too.
test-windows: windows
	@$(RELEASE)ON > /dev/null
	cmake --build build
	bash tests/windows/run.sh

# The Linux tarball always; the Windows zip only where mingw-w64 is installed.
dist:
	@$(RELEASE)AUTO > /dev/null
	cmake --build build --target pbrain-tarn
ifneq ($(MINGW),)
	@$(WINDOWS) > /dev/null
	cmake --build build-windows --target pbrain-tarn
endif
	bash tools/dist.sh

# The browser build: the engine compiled to WebAssembly by Emscripten, and the page, all in
# build-web/. The page's engine on threads is compiled apart, in build-web-threads/, and put
# beside the page. Debian's Emscripten finds its JavaScript parser (acorn) through NODE_PATH.
.PHONY: web serve-web test-web
WEB_ENV := NODE_PATH=/usr/share/nodejs$(if $(NODE_PATH),:$(NODE_PATH))
WEB_CONFIGURE = $(WEB_ENV) emcmake cmake -S . $(CMAKE_GENERATOR) -DCMAKE_BUILD_TYPE=Release \
	-DTARN_BUILD_TESTS=OFF -DTARN_WERROR=$(WERROR)
web:
	@$(WEB_CONFIGURE) -B build-web > /dev/null
	$(WEB_ENV) cmake --build build-web
	@$(WEB_CONFIGURE) -B build-web-threads -DCMAKE_CXX_FLAGS=-pthread -DTARN_WEB_THREADS=ON \
		-DTARN_WEB_PAGE_DIR=$(CURDIR)/build-web > /dev/null
	$(WEB_ENV) cmake --build build-web-threads --target tarn-engine-threads

# Serves build-web/ on 127.0.0.1 at a free port, printed as a URL (Ctrl+C stops it).
serve-web: web
	node web/serve.mjs build-web

test-web: build web
	bash tests/web/run.sh

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf build build-native build-sanitize build-tsan build-fuzz build-windows build-pgo build-web build-web-threads dist
