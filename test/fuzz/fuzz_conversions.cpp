// The set encoding conversions, set counting, the set-to-bitfield writer and
// the set-versus-bitfield tests, on arbitrary element arrays and on sorted
// ones; sorted input is checked by round trips and against the bitfield.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "fuzzRanges.h"
#include "qovellaPgBitFieldSetCompare.h"
#include "qovellaPgRangeKernels.h"
#include "qovellaPgSetConversions.h"
#include "qovellaPgSetToBitField.h"

namespace {
using namespace qv::fuzz;
using IntVec = qv::pg::tVector<std::int32_t, contextAlloc, contextFree>;
using RangeVec = qv::pgRangeArray::RangeVector<int, contextAlloc, contextFree>;
namespace cv = qv::conversions;
namespace bf = qv::bitField;
using qv::pgRangeArray::ArrayDataType;

// Largest expansion the target writes out (the sizing is checked for any).
constexpr std::uint64_t kMaxExpansion = std::uint64_t(1) << 22;

// 'r' to 's': sized, then written into an exactly sized buffer.
std::vector<std::int32_t> rangeScalars(qv::pgRangeArray::RangeSpan span) {
    std::uint64_t total = cv::rangeScalarCount(span, "fuzz");
    if (total > kMaxExpansion) return {};
    std::int32_t* out = new std::int32_t[total + 1];
    qv::pgRangeArray::writeSpanValues(span, out);
    std::vector<std::int32_t> v(out, out + total);
    delete[] out;
    return v;
}

// 'm' to 's': the body counted against the header, then written.
std::vector<std::int32_t> mixScalars(const std::int32_t* e, std::size_t n) {
    std::uint64_t total = 0;
    if (!cv::mixScalarCount(e, n, "fuzz", total) || total > kMaxExpansion) return {};
    std::int32_t* out = new std::int32_t[total + 1];
    cv::writeMixScalars(e, n, "fuzz", out);
    std::vector<std::int32_t> v(out, out + total);
    delete[] out;
    return v;
}

// Writes the set as a bitfield and checks it holds every value of the set;
// then the set must lie within it and (when not empty) overlap it.
void checkBitField(ArrayDataType type, const std::int32_t* e, std::size_t n, bool sorted) {
    bf::SetElements set{type, e, n};
    bf::SetBounds b = bf::setBounds(set, "fuzz");
    std::size_t size = bf::bitFieldSize(b);
    if (size > (std::size_t(1) << 16)) return;
    std::vector<unsigned char> value(size);
    bf::writeBitField(value.data(), set, b, "fuzz");
    bf::View view = bf::readBitField(value.data(), size, "fuzz");  // must pass the size rule
    QV_FUZZ_CHECK(view.lower == b.lower && view.upper == b.upper);
    bool any = false;
    bf::forEachSetItem(set, "fuzz", [&](std::int32_t lo, std::int32_t hi) {
        if (lo > hi) return;
        any = true;
        QV_FUZZ_CHECK(bf::contains(view, lo) && bf::contains(view, hi));
        QV_FUZZ_CHECK(bf::includesRange(view, lo, hi));
    });
    if (n == 0) return;
    bool inside = bf::setTest(type, e, n, view, true, "fuzz");
    bool overlap = bf::setTest(type, e, n, view, false, "fuzz");
    if (sorted && any) QV_FUZZ_CHECK(inside && overlap);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input in(data, size);
    std::uint8_t mode = in.take<std::uint8_t>();
    std::vector<std::int32_t> raw;
    if (mode & 1) {
        // a canonical range array, small enough to expand
        Ranges r = canonicalRanges(in, 20);
        for (auto& x : r) {
            if (std::int64_t(x.upper) - x.lower > 5000) x.upper = x.lower + 5000;
            raw.push_back(x.lower);
            raw.push_back(x.upper);
        }
        if (!isCanonical(r)) raw.clear();
    } else {
        while (in.left() >= 4 && raw.size() < 64) {
            std::int32_t v = in.take<std::int32_t>();
            raw.push_back((mode & 2) ? v : v % 1000);
        }
        if (mode & 4) std::sort(raw.begin(), raw.end());
    }
    std::size_t n = raw.size();
    // an exactly sized copy, so that reads past the end are caught
    std::int32_t* e = new std::int32_t[n ? n : 1];
    std::copy(raw.begin(), raw.end(), e);
    const char* routine = "fuzz";

    runGuarded([&] {
        bool sortedScalars = std::is_sorted(raw.begin(), raw.end());
        // 's' to 'r' and to 'm'
        IntVec mix(1);
        RangeVec ranges(1);
        bool sRaised = raises([&] { cv::convertScalarToRangeArray(e, n, ranges, routine); });
        QV_FUZZ_CHECK(sRaised == !sortedScalars);
        raises([&] { cv::convertScalarToMixArrayInt4(e, n, mix, routine); });
        if (!sRaised) {
            // runs to scalars: the distinct values again
            std::vector<std::int32_t> back =
                rangeScalars(qv::pgRangeArray::RangeSpan{ranges.begin(), ranges.end()});
            std::vector<std::int32_t> distinct(raw);
            distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
            if (distinct.size() <= kMaxExpansion) QV_FUZZ_CHECK(back == distinct);
            // the header counts duplicates, so only duplicate-free input comes back
            if (!distinct.empty() && distinct.front() >= 0 && distinct.size() == n)
                QV_FUZZ_CHECK(mixScalars(mix.begin(), mix.size) == distinct);
        }
        checkBitField(qv::pgRangeArray::kScalarArray, e, n, sortedScalars);

        // 'r' to 's' and to 'm', and the count
        IntVec rm(1);
        RangeVec mr(1);
        bool odd = raises([&] { cv::rangesOfSet(e, n, routine); });
        QV_FUZZ_CHECK(odd == (n % 2 != 0));
        if (!odd) {
            qv::pgRangeArray::RangeSpan span = cv::rangesOfSet(e, n, routine);
            raises([&] { cv::countRangeValues(span, routine); });
            raises([&] { rangeScalars(span); });
            bool mRaised = raises([&] { cv::convertRangeArrayToMixArray(span, rm, routine); });
            Ranges asRanges(span.begin, span.end);
            bool canonical = isCanonical(asRanges);
            if (canonical && !mRaised && rm.size) {
                // mix back to ranges and to scalars gives the same set
                cv::convertMixBodyToRangeArray(rm.begin() + 1, rm.size - 1, mr, routine);
                QV_FUZZ_CHECK(sameRanges(mr, asRanges));
                std::vector<std::int32_t> direct;
                if (!raises([&] { direct = rangeScalars(span); }))
                    QV_FUZZ_CHECK(mixScalars(rm.begin(), rm.size) == direct);
            }
            checkBitField(qv::pgRangeArray::kRangeArray, e, n, canonical);
        }

        // 'm' to 's' and to 'r' on the same elements read as a mix array
        RangeVec m2r(1);
        raises([&] { mixScalars(e, n); });
        if (n) raises([&] { cv::convertMixBodyToRangeArray(e + 1, n - 1, m2r, routine); });
        raises([&] { checkBitField(qv::pgRangeArray::kMixArray, e, n, false); });
    });
    delete[] e;
    return 0;
}
