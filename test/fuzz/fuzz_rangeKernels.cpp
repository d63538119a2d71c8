// The set-algebra kernels (union, intersection, exclusion, pushOrMerge,
// rangeArrayInsert) and the overlap tests.  Canonical inputs are compared
// with a plain model; arbitrary (non-canonical) inputs must only run clean.
// Inputs of very different sizes (in either order) take the searches into
// the bigger input: whatever the inputs, the kernels must give what the
// step-by-step walks give, also when a range of the smaller input is put
// out of order into the bigger one where a search would not read it.
#include <cstddef>
#include <cstdint>

#include "fuzzRanges.h"
#include "qovellaPgRangeKernels.h"
#include "qovellaPgRangeOverlap.h"

namespace {
using namespace qv::fuzz;
using qv::pgRangeArray::Range;
using Vec = qv::pgRangeArray::RangeVector<int, contextAlloc, contextFree>;

// An exactly sized heap copy, so that reads past the end are caught.
struct Owned {
    Range<int>* data;
    std::size_t n;
    explicit Owned(const Ranges& r) : data(new Range<int>[r.size() ? r.size() : 1]), n(r.size()) {
        std::copy(r.begin(), r.end(), data);
    }
    ~Owned() { delete[] data; }
    const Range<int>* begin() const { return data; }
    const Range<int>* end() const { return data + n; }
    qv::pgRangeArray::RangeSpan span() const { return {begin(), end()}; }
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input in(data, size);
    std::uint8_t mode = in.take<std::uint8_t>();
    bool canonical = (mode & 1) == 0;
    const std::size_t big = (mode & 4) ? 400 : 40;
    Ranges ra = canonical ? canonicalRanges(in, (mode & 8) ? big : 40) : rawRanges(in, 12);
    Ranges rb = (mode & 2) ? canonicalRanges(in, big) : (canonical ? canonicalRanges(in, 40) : rawRanges(in, 12));
    // A last byte that is not zero puts a range of the smaller input into the
    // bigger one at a place it picks.
    std::uint8_t fault = in.take<std::uint8_t>();
    Ranges& larger = ra.size() >= rb.size() ? ra : rb;
    const Ranges& smaller = ra.size() >= rb.size() ? rb : ra;
    if (fault != 0 && !smaller.empty())
        larger.insert(larger.begin() + std::ptrdiff_t(larger.size() * fault / 256),
                      smaller[fault % smaller.size()]);
    canonical = isCanonical(ra) && isCanonical(rb);
    Owned a(ra), b(rb);

    runGuarded([&] {
        Vec out(1 + (mode >> 4));
        qv::pgRangeArray::computeUnion(a.begin(), a.end(), b.begin(), b.end(), out);
        if (canonical) {
            Ranges all(ra);
            all.insert(all.end(), rb.begin(), rb.end());
            QV_FUZZ_CHECK(sameRanges(out, normalize(all)));
        }
        qv::pgRangeArray::computeIntersection(a.begin(), a.end(), b.begin(), b.end(), out);
        if (canonical) QV_FUZZ_CHECK(sameRanges(out, intersection(ra, rb)));
        qv::pgRangeArray::computeExclusion(a.begin(), a.end(), b.begin(), b.end(), out);
        if (canonical) QV_FUZZ_CHECK(sameRanges(out, intersection(ra, complement(rb))));

        // the kernels against the walks, both ways round
        Vec walk(1);
        for (int swap = 0; swap < 2; ++swap) {
            const Owned& x = swap ? b : a;
            const Owned& y = swap ? a : b;
            qv::pgRangeArray::computeIntersection(x.begin(), x.end(), y.begin(), y.end(), out);
            qv::pgRangeArray::stepwiseIntersection(x.begin(), x.end(), y.begin(), y.end(), walk);
            QV_FUZZ_CHECK(sameRanges(out, Ranges(walk.begin(), walk.end())));
            qv::pgRangeArray::computeExclusion(x.begin(), x.end(), y.begin(), y.end(), out);
            qv::pgRangeArray::stepwiseExclusion(x.begin(), x.end(), y.begin(), y.end(), walk);
            QV_FUZZ_CHECK(sameRanges(out, Ranges(walk.begin(), walk.end())));
            QV_FUZZ_CHECK(qv::pgRangeArray::isStrictlyIncluded(x.begin(), x.end(), y.begin(), y.end()) ==
                          qv::pgRangeArray::stepwiseIsStrictlyIncluded(x.begin(), x.end(), y.begin(), y.end()));
            QV_FUZZ_CHECK(qv::pgRangeArray::isOverlap(x.begin(), x.end(), y.begin(), y.end()) ==
                          qv::pgRangeArray::stepwiseIsOverlap(x.begin(), x.end(), y.begin(), y.end()));
        }

        // pushOrMerge of b after a's ranges
        Vec run(1);
        qv::pgRangeArray::pushOrMerge(run, a.begin(), a.end());
        qv::pgRangeArray::pushOrMerge(run, b.begin(), b.end());
        if (canonical && (ra.empty() || rb.empty() || rb.front().lower > ra.back().upper)) {
            Ranges all(ra);
            all.insert(all.end(), rb.begin(), rb.end());
            QV_FUZZ_CHECK(sameRanges(run, normalize(all)));
        }

        // rangeArrayInsert of every range of b into a copy of a
        Vec ins(1);
        qv::pgRangeArray::pushOrMerge(ins, a.begin(), a.end());
        bool insertCanonical = canonical;
        for (const Range<int>& r : rb) {
            qv::pgRangeArray::rangeArrayInsert(ins, r);
            if (r.lower > r.upper) insertCanonical = false;
        }
        if (insertCanonical) {
            Ranges all(ra);
            all.insert(all.end(), rb.begin(), rb.end());
            QV_FUZZ_CHECK(sameRanges(ins, normalize(all)));
        }
        // inserting into itself (r aliases the vector) must not read freed memory
        if (ins.size) qv::pgRangeArray::rangeArrayInsert(ins, ins.data[ins.size / 2]);

        bool overlap = qv::pgRangeArray::rangeSpansOverlap(a.span(), b.span());
        if (canonical) QV_FUZZ_CHECK(overlap == !intersection(ra, rb).empty());
        for (const Range<int>& r : rb) {
            bool o = qv::pgRangeArray::rangeOverlapsRanges(r.lower, r.upper, a.span());
            if (canonical) QV_FUZZ_CHECK(o == !intersection(ra, Ranges{r}).empty());
        }
    });
    return 0;
}
