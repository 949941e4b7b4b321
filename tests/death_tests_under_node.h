// Death tests run their statement in a child process, and a program under node cannot make
// one. Built with emscripten, the in-process suites take this header first: a death test's
// statement is compiled but not run, and the rest of its test goes on. The desktop build
// runs them all.
#pragma once

#include <gtest/gtest.h>

#define EXPECT_EXIT(statement, predicate, regex) \
    if (true) {                                  \
    } else if ((void)[&] { statement; }, false) { \
    } else                                       \
        ::testing::Message()
#define ASSERT_EXIT EXPECT_EXIT
