// The unit tests' error sink.
#include "testSupport.h"

#include <cstdarg>
#include <cstdio>

void qv::raiseError(const char* sqlstate, const char* routine, const char*, int,
                    const char* fmt, ...) {
    char text[256] = "";
    if (fmt) {
        va_list args;
        va_start(args, fmt);
        std::vsnprintf(text, sizeof(text), fmt, args);
        va_end(args);
    }
    throw qv::test::RaisedError{sqlstate, routine, text};
}
