// The set readers of any encoding, the normaliser and the text notation:
// mode byte 0 parses the bytes as text (and renders what it read back to
// the same ranges); 1, 2, 3 read the int4 elements as a range, scalar or mix
// array; 4 reads a bitfield (lower, upper, bits).  Each read set is checked
// against a plain walk over its values: count, bounds, values, the text
// round trip, and the normaliser's result covering exactly those values.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzzSupport.h"
#include "qovellaPgSetReading.h"
#include "qovellaPgVector.h"

namespace {

namespace si = qv::setReading;
using qv::pgRangeArray::Range;
using RangeVec = qv::pg::tVector<Range<int>, qv::fuzz::contextAlloc, qv::fuzz::contextFree>;
using CharVec = qv::pg::tVector<char, qv::fuzz::contextAlloc, qv::fuzz::contextFree>;

// Every check on one read set; ranges wider than a few thousand values are
// only counted, not expanded.
void checkSet(const si::SetView& s) {
    std::vector<Range<int>> ranges;
    si::forEachRange(s, [&](std::int32_t lo, std::int32_t hi) { ranges.push_back(Range<int>{lo, hi}); });
    QV_FUZZ_CHECK(ranges.size() == si::rangeCount(s));
    std::uint64_t count = 0;
    std::int64_t least = INT64_MAX, greatest = INT64_MIN;
    for (const Range<int>& r : ranges) {
        if (r.lower > r.upper) continue;
        count += std::uint64_t(std::int64_t(r.upper) - r.lower + 1);
        least = std::min<std::int64_t>(least, r.lower);
        greatest = std::max<std::int64_t>(greatest, r.upper);
    }
    QV_FUZZ_CHECK(si::cardinality(s) == count);
    std::int32_t lo, hi;
    QV_FUZZ_CHECK(si::bounds(s, lo, hi) == (count > 0));
    if (count > 0) QV_FUZZ_CHECK(lo == least && hi == greatest);
    if (count <= 100000) {
        std::uint64_t seen = 0;
        si::ValueCursor values(s);
        for (std::int32_t v; values.next(v);) ++seen;
        QV_FUZZ_CHECK(seen == count);
    }

    CharVec text(1);
    si::renderText(s, text);
    RangeVec parsed(1);
    si::parseText(text.data, text.size, parsed, "fuzz");
    QV_FUZZ_CHECK(parsed.size == ranges.size());
    for (std::size_t i = 0; i < ranges.size(); ++i)
        QV_FUZZ_CHECK(parsed[i].lower == ranges[i].lower && parsed[i].upper == ranges[i].upper);

    // normalised: canonical, and the same values (compared as merged runs)
    std::vector<Range<int>> scratch(ranges.size() + 1), norm(ranges);
    norm.resize(si::normalizeRanges(norm.data(), norm.size(), scratch.data()));
    std::vector<std::int32_t> flat;
    std::uint64_t normCount = 0;
    for (const Range<int>& r : norm) {
        flat.push_back(r.lower);
        flat.push_back(r.upper);
        normCount += std::uint64_t(std::int64_t(r.upper) - r.lower + 1);
    }
    QV_FUZZ_CHECK(si::isCanonical(si::arraySet('r', flat.data(), flat.size(), "fuzz")));
    QV_FUZZ_CHECK(normCount <= count);
    for (const Range<int>& r : ranges) {
        if (r.lower > r.upper) continue;
        const Range<int>* in = qv::pgRangeArray::firstEndingFrom(norm.data(), norm.size(), r.lower);
        QV_FUZZ_CHECK(in != norm.data() + norm.size() && in->lower <= r.lower && r.upper <= in->upper);
    }
    if (s.encoding == si::Encoding::kRange && si::isCanonical(s)) QV_FUZZ_CHECK(norm.size() == ranges.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    unsigned mode = data[0] % 5;
    ++data;
    --size;
    // exactly sized heap copies, so that a read past the input is caught
    if (mode == 0) {
        std::string text(reinterpret_cast<const char*>(data), size);
        char* copy = new char[size ? size : 1];
        std::memcpy(copy, text.data(), size);
        qv::fuzz::runGuarded([&] {
            RangeVec out(1);
            si::parseText(copy, size, out, "fuzz");
            std::vector<std::int32_t> flat;
            for (const Range<int>& r : out) {
                flat.push_back(r.lower);
                flat.push_back(r.upper);
            }
            checkSet(si::arraySet('r', flat.data(), flat.size(), "fuzz"));
        });
        delete[] copy;
    } else if (mode <= 3) {
        std::size_t n = size / 4;
        std::int32_t* e = new std::int32_t[n ? n : 1];
        if (n) std::memcpy(e, data, n * 4);
        bool raised = qv::fuzz::runGuarded([&] { checkSet(si::arraySet("rsm"[mode - 1], e, n, "fuzz")); });
        if (mode == 1) QV_FUZZ_CHECK(raised == (n % 2 != 0));
        delete[] e;
    } else {
        std::vector<unsigned char> stored(4 + size);
        std::memcpy(stored.data() + 4, data, size);
        unsigned char* b = new unsigned char[stored.size()];
        std::memcpy(b, stored.data(), stored.size());
        qv::fuzz::runGuarded([&] {
            checkSet(si::bitFieldSet(qv::bitField::readBitField(b, stored.size(), "fuzz")));
        });
        delete[] b;
    }
    return 0;
}
