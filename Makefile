# Short names for the everyday builds. CMake and Ninja do the work; every build has its own
# folder, so switching between them never rebuilds from scratch.
CMAKE_GENERATOR := -G Ninja
# CI builds with warnings as errors.
WERROR := $(if $(filter true,$(CI)),ON,OFF)
CONFIGURE = cmake -S . $(CMAKE_GENERATOR) -DTARN_WERROR=$(WERROR)

.PHONY: all build run test bench native pgo test-sanitize fuzz windows test-windows dist format clean

all: build

build:
	@$(CONFIGURE) -B build -DCMAKE_BUILD_TYPE=Release > /dev/null
	cmake --build build

# Builds the release engine and starts it on this terminal: type protocol commands, END quits.
run: build
	./build/pbrain-tarn

test: build
	ctest --test-dir build --output-on-failure -j2

bench: build
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

FUZZ_SECONDS ?= 60
fuzz:
	bash tests/fuzz/run.sh $(FUZZ_SECONDS)

windows:
	@$(CONFIGURE) -B build-windows -DCMAKE_BUILD_TYPE=Release \
		-DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DTARN_BUILD_TESTS=OFF > /dev/null
	cmake --build build-windows

test-windows: build windows
	bash tests/windows/run.sh

dist: build windows
	bash tools/dist.sh

# The browser build: the engine compiled to WebAssembly by Emscripten, and the page, all in
# build-web/. Debian's Emscripten finds its JavaScript parser (acorn) through NODE_PATH.
.PHONY: web serve-web test-web
WEB_ENV := NODE_PATH=/usr/share/nodejs$(if $(NODE_PATH),:$(NODE_PATH))
web:
	@$(WEB_ENV) emcmake cmake -S . $(CMAKE_GENERATOR) -B build-web -DCMAKE_BUILD_TYPE=Release \
		-DTARN_BUILD_TESTS=OFF -DTARN_WERROR=$(WERROR) > /dev/null
	$(WEB_ENV) cmake --build build-web

# Serves build-web/ on 127.0.0.1 at a free port, printed as a URL (Ctrl+C stops it).
serve-web: web
	node web/serve.mjs build-web

test-web: build web
	bash tests/web/run.sh

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf build build-native build-sanitize build-fuzz build-windows build-pgo build-web dist
