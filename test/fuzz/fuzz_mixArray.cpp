// The shared mix-array body reader against a plain re-reading of the body,
// and packed-range packing of the same bytes.
#include <cstdint>
#include <utility>
#include <vector>

#include "fuzzSupport.h"
#include "qovellaPgMixArray.h"
#include "qovellaPgPackedRange.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // An exactly sized heap copy, so that a read past the body is caught.
    std::size_t n = size / 4;
    std::int32_t* body = new std::int32_t[n ? n : 1];
    if (n) std::memcpy(body, data, n * 4);

    std::vector<std::pair<std::int32_t, std::int32_t>> items;
    bool raised = qv::fuzz::runGuarded([&] {
        qv::mixArray::forEachMixItem(body, n, "fuzz", [&](std::int32_t lo, std::int32_t hi) {
            items.emplace_back(lo, hi);
        });
    });

    std::vector<std::pair<std::int32_t, std::int32_t>> expected;
    bool dangling = false;
    for (std::size_t i = 0; i < n; ++i) {
        std::uint32_t u = std::uint32_t(body[i]);
        if (u & 0x80000000u) {
            if (i + 1 == n) { dangling = true; break; }
            expected.emplace_back(std::int32_t(u & 0x7fffffffu), body[i + 1]);
            ++i;
        } else {
            expected.emplace_back(body[i], body[i]);
        }
    }
    QV_FUZZ_CHECK(raised == dangling);
    QV_FUZZ_CHECK(qv::mixArray::mixBodyIsComplete(body, n) == !dangling);
    if (!raised) QV_FUZZ_CHECK(items == expected);

    for (std::size_t i = 0; i + 1 < n; i += 2) {
        std::int64_t p = qv::packedRange::pack(body[i], body[i + 1]);
        QV_FUZZ_CHECK(qv::packedRange::lower(p) == body[i]);
        QV_FUZZ_CHECK(qv::packedRange::upper(p) == body[i + 1]);
        QV_FUZZ_CHECK(qv::packedRange::pack(qv::packedRange::lower(p), qv::packedRange::upper(p)) == p);
    }
    delete[] body;
    return 0;
}
