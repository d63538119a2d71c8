// Error sink and pretend memory context of the fuzz targets.
#include "fuzzSupport.h"

#include <cstdio>
#include <cstdlib>
#include <unordered_set>

namespace {

std::unordered_set<void*>& live() {
    static std::unordered_set<void*>* set = new std::unordered_set<void*>();
    return *set;
}

bool knownSqlstate(const char* s) {
    static const char* const known[] = {"02000", "22003", "22015", "22023", "22P02", "22P03",
                                        "42804", "53200", "XX002"};
    for (const char* k : known)
        if (std::strcmp(k, s) == 0) return true;
    return false;
}

}  // namespace

void qv::raiseError(const char* sqlstate, const char* routine, const char*, int,
                    const char* fmt, ...) {
    if (!sqlstate || !knownSqlstate(sqlstate)) {
        std::fprintf(stderr, "error raised with a foreign SQLSTATE %s in %s (%s)\n",
                     sqlstate ? sqlstate : "(null)", routine ? routine : "(null)",
                     fmt ? fmt : "no message");
        std::abort();
    }
    throw qv::fuzz::Raised{sqlstate, routine};
}

void* qv::fuzz::contextAlloc(std::size_t bytes) {
    // The server refuses single requests past 1 GB - 1; the targets stop at
    // 16 MB so that runs stay fast and within the fuzzer's memory limit, and
    // the request then fails as out of memory, as it may in the server.
    if (bytes > (std::size_t(16) << 20)) return nullptr;
    void* p = std::malloc(bytes ? bytes : 1);
    if (p) live().insert(p);
    return p;
}

void qv::fuzz::contextFree(void* p) {
    if (!p) return;
    if (live().erase(p) != 1) {
        std::fprintf(stderr, "free of a pointer not allocated in the context: %p\n", p);
        std::abort();
    }
    std::free(p);
}

void qv::fuzz::resetContext() {
    for (void* p : live()) std::free(p);
    live().clear();
}

void qv::fuzz::checkFailed(const char* what, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, what);
    std::abort();
}
