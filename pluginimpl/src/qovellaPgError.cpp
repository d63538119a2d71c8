// The server's definition of qv::raiseError: ereport at level ERROR with
// the detecting routine's name as the error location.
#include <cstdarg>
#include <cstdio>

#include "qovellaPgServer.h"
#include "qovellaError.h"

namespace {
int sqlstateCode(const char* s) {
    return MAKE_SQLSTATE(s[0], s[1], s[2], s[3], s[4]);
}
}  // namespace

void qv::raiseError(const char* sqlstate, const char* routine, const char* file,
                    int line, const char* fmt, ...) {
    char text[256];
    if (fmt) {
        va_list args;
        va_start(args, fmt);
        vsnprintf(text, sizeof(text), fmt, args);
        va_end(args);
    }
    if (QV_PG_ERRSTART(ERROR, file, line, routine)) {
        errcode(sqlstateCode(sqlstate));
        if (fmt) errmsg("%s", text);
        QV_PG_ERRFINISH(file, line, routine);
    }
    pg_unreachable();
}
