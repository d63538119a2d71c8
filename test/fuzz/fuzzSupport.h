// Support shared by the libFuzzer targets of the server-free core.
//
// qv::raiseError throws qv::fuzz::Raised: a raised error is an accepted
// outcome of any input, a crash or a sanitizer report is not.  Allocations
// go to a pretend memory context that the driver resets after each input,
// the way the server reclaims a statement's memory after an error.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "qovellaError.h"

namespace qv {
namespace fuzz {

struct Raised {
    const char* sqlstate;
    const char* routine;
};

// Allocation policy over the pretend memory context.
void* contextAlloc(std::size_t bytes);
void contextFree(void* p);
// Frees everything still allocated in the context.
void resetContext();

// Aborts when cond is false: a wrong result counts like a crash.
#define QV_FUZZ_CHECK(cond)                                                    \
    do {                                                                       \
        if (!(cond)) ::qv::fuzz::checkFailed(#cond, __FILE__, __LINE__);       \
    } while (0)
[[noreturn]] void checkFailed(const char* what, const char* file, int line);

// Consumes the fuzzer's bytes front to back; past the end it yields zeros.
class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : p_(data), left_(size) {}

    std::size_t left() const { return left_; }

    template <typename T>
    T take() {
        T v{};
        std::size_t n = left_ < sizeof(T) ? left_ : sizeof(T);
        std::memcpy(&v, p_, n);
        p_ += n;
        left_ -= n;
        return v;
    }

    // The remaining bytes as whole int32 values (a trailing partial one is dropped).
    const std::uint8_t* rest() const { return p_; }

private:
    const std::uint8_t* p_;
    std::size_t left_;
};

// Runs body and tells whether it raised an error; errors raised through
// qv::raiseError must carry one of the library's SQLSTATEs and a routine.
template <typename F>
inline bool raises(F&& body) {
    try {
        body();
    } catch (const Raised& e) {
        QV_FUZZ_CHECK(e.sqlstate != nullptr && e.routine != nullptr && e.routine[0] != '\0');
        return true;
    }
    return false;
}

// Runs body on one input as raises() does, then resets the context, as
// the server does after each statement.
template <typename F>
inline bool runGuarded(F&& body) {
    bool raised = raises(body);
    resetContext();
    return raised;
}

}  // namespace fuzz
}  // namespace qv
