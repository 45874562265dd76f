/* Tests of what only the 32-bit product has (the engine's byte layouts). The 64-bit test build
 * registers them as skipped tests, so that its run counts and names what it leaves out; there
 * their bodies are only parsed, never run. */
#ifndef TESTS_ARCH_ONLY_H
#define TESTS_ARCH_ONLY_H

#include <gtest/gtest.h>

#define XR_LEFT_OUT_NOTE "left out of the 64-bit build: 32-bit layout"

#ifdef _WIN64
#define TEST_32BIT_ONLY(suite, name)                                                          \
    TEST(suite, name) { GTEST_SKIP() << XR_LEFT_OUT_NOTE; }                                   \
    template <int> [[maybe_unused]] void suite##_##name##_LeftOut()
#else
#define TEST_32BIT_ONLY(suite, name) TEST(suite, name)
#endif

#endif
