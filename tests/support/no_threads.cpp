// Linked into every test program whose tests are not labelled "threads" (tests/CMakeLists.txt):
// a test there that starts a thread fails, and the thread is not started, so that a test that
// runs threads cannot land where make test-tsan, which runs the tests of that label under
// ThreadSanitizer, would miss it. The engine starts its threads with pthread_create alone
// (search/threads.cpp); this definition takes the place of the C library's in these programs.
#include <gtest/gtest.h>
#include <pthread.h>

#include <cerrno>

extern "C" int pthread_create(pthread_t* __restrict, const pthread_attr_t* __restrict,
                              void* (*)(void*), void* __restrict) noexcept {
    ADD_FAILURE() << "This test starts a thread: it belongs in a test program marked THREADS "
                     "(tests/CMakeLists.txt), whose tests make test-tsan runs.";
    return EAGAIN;
}
