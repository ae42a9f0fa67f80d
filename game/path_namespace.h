// The search's hot code is compiled once for each instruction set the engine can run with (the
// search paths, search/search_path.h). Each compilation puts its inline functions and templates
// in an inline namespace of its own, named by the build: the linker would otherwise keep one copy
// of a function emitted by two compilations, and a copy built for AVX2 could then run on the path
// of a processor without it. Code compiled once, with the build's base flags, is in the base path.
#pragma once

#ifndef TARN_PATH_NAMESPACE
#define TARN_PATH_NAMESPACE base_path
#endif
