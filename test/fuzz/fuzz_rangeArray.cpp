// Range-array reading and the point lookup, on arbitrary and on canonical
// element sequences; the lookup is compared with a linear scan.
#include <cstdint>
#include <vector>

#include "fuzzSupport.h"
#include "qovellaPgRangeArray.h"
#include "qovellaRangeSetModel.h"

using qv::pgRangeArray::Range;

namespace {

using qv::model::isCanonical;

bool linearContains(const Range<int>* r, std::size_t m, std::int32_t x) {
    for (std::size_t k = 0; k < m; ++k)
        if (r[k].lower <= x && x <= r[k].upper) return true;
    return false;
}

// Builds canonical ranges from gaps and lengths taken from the input.
std::vector<std::int32_t> canonicalFrom(qv::fuzz::Input& in) {
    std::vector<std::int32_t> e;
    std::int64_t next = std::int64_t(in.take<std::int32_t>());
    while (in.left() >= 2 && next <= INT32_MAX) {
        std::int64_t lower = next;
        std::int64_t upper = lower + in.take<std::uint8_t>() * (in.take<std::uint8_t>() % 4 == 0 ? 65536 : 1);
        if (upper > INT32_MAX) upper = INT32_MAX;
        e.push_back(std::int32_t(lower));
        e.push_back(std::int32_t(upper));
        next = upper + 2 + in.take<std::uint8_t>();
    }
    return e;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    qv::fuzz::Input in(data, size);
    std::uint8_t mode = in.take<std::uint8_t>();
    std::vector<std::int32_t> elements;
    if (mode & 1) {
        elements = canonicalFrom(in);
    } else {
        elements.resize(in.left() / 4);
        if (!elements.empty()) std::memcpy(elements.data(), in.rest(), elements.size() * 4);
    }
    std::size_t n = elements.size() - ((mode & 2) && !elements.empty() ? 1 : 0);

    qv::pgRangeArray::RangeSpan span{nullptr, nullptr};
    bool raised = qv::fuzz::runGuarded([&] {
        span = qv::pgRangeArray::rangesFromElements(elements.data(), n, "fuzz");
    });
    QV_FUZZ_CHECK(raised == (n % 2 != 0));
    if (raised) return 0;
    QV_FUZZ_CHECK(span.count() == n / 2);

    bool canonical = isCanonical(span.begin, span.count());
    std::vector<std::int32_t> probes = {INT32_MIN, INT32_MAX, 0, -1};
    for (std::size_t i = 0; i < n && probes.size() < 64; ++i) {
        std::int32_t v = elements[i];
        probes.push_back(v);
        if (v != INT32_MIN) probes.push_back(v - 1);
        if (v != INT32_MAX) probes.push_back(v + 1);
    }
    for (std::int32_t x : probes) {
        bool found = qv::pgRangeArray::rangesContain(span.begin, span.count(), x);
        if (canonical) QV_FUZZ_CHECK(found == linearContains(span.begin, span.count(), x));
        else if (found) QV_FUZZ_CHECK(linearContains(span.begin, span.count(), x));
    }
    return 0;
}
