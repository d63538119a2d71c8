// Test-side definition of the error sink: failures become C++ exceptions
// that the tests catch and inspect.
#pragma once

#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "qovellaError.h"

namespace qv {
namespace test {

struct RaisedError {
    std::string sqlstate;
    std::string routine;
    std::string message;  // empty when raised without a message text
};

inline void* testMalloc(std::size_t n) { return std::malloc(n); }
inline void testFree(void* p) { std::free(p); }

}  // namespace test
}  // namespace qv

// Runs stmt and expects it to raise the given SQLSTATE, routine and message.
#define EXPECT_RAISES(stmt, state, routine_, message_)             \
    do {                                                           \
        bool raised_ = false;                                      \
        try {                                                      \
            stmt;                                                  \
        } catch (const ::qv::test::RaisedError& e_) {              \
            raised_ = true;                                        \
            EXPECT_EQ(std::string(state), e_.sqlstate);            \
            EXPECT_EQ(std::string(routine_), e_.routine);          \
            EXPECT_EQ(std::string(message_), e_.message);          \
        }                                                          \
        EXPECT_TRUE(raised_) << "expected an error from " #stmt;   \
    } while (0)
