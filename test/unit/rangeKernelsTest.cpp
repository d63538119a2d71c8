// Set-algebra kernels: fixed cases, the int4 extremes, and randomized
// comparison of every kernel against a simple reference.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <iterator>
#include <ostream>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "qovellaPgRangeKernels.h"
#include "qovellaPgRangeOverlap.h"
#include "qovellaRangeSetModel.h"
#include "testSupport.h"

namespace qv {
namespace pgRangeArray {
// Found by argument-dependent lookup from the assertions.
bool operator==(const Range<int>& x, const Range<int>& y) {
    return x.lower == y.lower && x.upper == y.upper;
}
std::ostream& operator<<(std::ostream& os, const Range<int>& r) {
    return os << '[' << r.lower << ';' << r.upper << ']';
}
}  // namespace pgRangeArray
}  // namespace qv

namespace {

using qv::pgRangeArray::Range;
using qv::pgRangeArray::RangeSpan;
using R = Range<int>;
using Vec = qv::pgRangeArray::RangeVector<int, qv::test::testMalloc, qv::test::testFree>;
using Ranges = std::vector<R>;

constexpr int kMin = INT_MIN;
constexpr int kMax = INT_MAX;

std::string show(const Ranges& v) {
    std::ostringstream os;
    os << '{';
    for (std::size_t i = 0; i < v.size(); ++i) os << (i ? "," : "") << v[i];
    os << '}';
    return os.str();
}

Ranges toRanges(const Vec& v) { return Ranges(v.begin(), v.end()); }

using Op = qv::model::Op;

using qv::pgRangeArray::fast::Forms;

Ranges run(Op op, const Ranges& a, const Ranges& b, qv::pg::tSize capacity = 1, Forms* forms = nullptr) {
    Vec out(capacity);
    out.push_back(R{7, 7});  // the binary kernels start by clearing the output
    const R* a0 = a.data();
    const R* b0 = b.data();
    switch (op) {
        case Op::kUnion: computeUnion(a0, a0 + a.size(), b0, b0 + b.size(), out, forms); break;
        case Op::kIntersection: computeIntersection(a0, a0 + a.size(), b0, b0 + b.size(), out, forms); break;
        case Op::kExclusion: computeExclusion(a0, a0 + a.size(), b0, b0 + b.size(), out, forms); break;
    }
    return toRanges(out);
}

// The step-by-step walks, which the kernels fall back to on input that is
// not canonical.
Ranges runStepwise(Op op, const Ranges& a, const Ranges& b) {
    Vec out(1);
    const R* a0 = a.data();
    const R* b0 = b.data();
    switch (op) {
        case Op::kUnion: stepwiseUnion(a0, a0 + a.size(), b0, b0 + b.size(), out); break;
        case Op::kIntersection: stepwiseIntersection(a0, a0 + a.size(), b0, b0 + b.size(), out); break;
        case Op::kExclusion: stepwiseExclusion(a0, a0 + a.size(), b0, b0 + b.size(), out); break;
    }
    return toRanges(out);
}

Ranges insert(Ranges start, R r) {
    Vec v;
    for (const R& x : start) v.push_back(x);
    rangeArrayInsert(v, r);
    return toRanges(v);
}

// ---- reference: the shared model ------------------------------------------

using qv::model::member;
using qv::model::normalize;

Ranges reference(Op op, const Ranges& a, const Ranges& b) { return qv::model::evaluate(op, a, b); }

// ---- random canonical sets ----------------------------------------------------

struct Generator {
    std::mt19937 rng;
    explicit Generator(unsigned seed) : rng(seed) {}

    int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); }

    // A value of the domain: a small window, or the whole int4 line with
    // extra weight on its extremes.
    int value(bool wide) {
        if (!wide) return std::uniform_int_distribution<int>(-12, 12)(rng);
        switch (below(8)) {
            case 0: return kMin + below(3);
            case 1: return kMax - below(3);
            case 2: return below(7) - 3;
            default: return std::uniform_int_distribution<int>(kMin, kMax)(rng);
        }
    }

    R range(bool wide) {
        int x = value(wide), y = value(wide);
        return R{std::min(x, y), std::max(x, y)};
    }

    Ranges set(bool wide) {
        Ranges v;
        int n = below(4) == 0 ? 0 : below(wide ? 6 : 9);
        for (int i = 0; i < n; ++i) {
            R r = range(wide);
            if (!wide && below(2)) r.upper = r.lower;  // many single values
            v.push_back(r);
        }
        return normalize(v);
    }

    // Up to n canonical ranges (gaps and widths up to 40) from base on; the
    // last one ends at kMax when they get there.
    Ranges run(int n, std::int64_t base) {
        Ranges v;
        for (int i = 0; i < n && base < kMax; ++i) {
            std::int64_t lo = base + (i ? 2 + below(40) : 0), hi = lo + below(i % 3 ? 40 : 2);
            if (lo > kMax) break;
            v.push_back(R{int(lo), int(std::min<std::int64_t>(hi, kMax))});
            base = hi;
        }
        return v;
    }

    // One fault of the canonical form at a random place: bounds exchanged,
    // a range touching or overlapping the one before, or out of order.
    void spoil(Ranges& v) {
        if (v.empty()) return;
        std::size_t i = std::size_t(below(int(v.size())));
        R& r = v[i];
        switch (below(4)) {
            case 0:
                std::swap(r.lower, r.upper);
                if (r.lower == r.upper) {  // one value: lower above upper instead
                    if (r.upper < kMax) ++r.lower; else --r.upper;
                }
                break;
            case 1: if (i) r.lower = int(std::min<std::int64_t>(v[i - 1].upper + 1, r.lower)); break;
            case 2: if (i) r.lower = v[i - 1].upper; break;
            default: if (i) std::swap(r, v[i - 1]); break;
        }
    }

    // The fault put where a search of big for the ranges of small would not
    // read: a range of small (or one reaching into it) inserted out of
    // order at a random place of big, or big spoiled at a random place.
    void spoilUnread(Ranges& big, const Ranges& small) {
        if (small.empty() || below(3) == 0) return spoil(big);
        R r = small[std::size_t(below(int(small.size())))];
        if (below(2)) r.upper = r.lower;
        big.insert(big.begin() + below(int(big.size()) + 1), r);
    }
};

// ---- fixed cases --------------------------------------------------------------

TEST(Union, JoinsTouchingRangesOnly) {
    EXPECT_EQ((Ranges{{1, 6}}), run(Op::kUnion, {{1, 3}}, {{4, 6}}));
    EXPECT_EQ((Ranges{{1, 3}, {5, 6}}), run(Op::kUnion, {{1, 3}}, {{5, 6}}));
    EXPECT_EQ((Ranges{{1, 5}}), run(Op::kUnion, {{1, 5}}, {{2, 3}}));
    EXPECT_EQ((Ranges{{1, 9}}), run(Op::kUnion, {{1, 2}, {6, 7}}, {{3, 5}, {8, 9}}));
}

TEST(Union, EmptyInputCopiesTheOtherUnchanged) {
    Ranges notCanonical = {{5, 1}, {2, 3}, {3, 4}};
    EXPECT_EQ(notCanonical, run(Op::kUnion, {}, notCanonical));
    EXPECT_EQ(notCanonical, run(Op::kUnion, notCanonical, {}));
    EXPECT_EQ(Ranges{}, run(Op::kUnion, {}, {}));
}

TEST(Union, KeepsTheGapsAtTheInt4Extremes) {
    EXPECT_EQ((Ranges{{kMin, kMin}, {kMax, kMax}}), run(Op::kUnion, {{kMin, kMin}}, {{kMax, kMax}}));
    EXPECT_EQ((Ranges{{kMin, kMin}, {1, 1}}), run(Op::kUnion, {{1, 1}}, {{kMin, kMin}}));
    EXPECT_EQ((Ranges{{kMin, kMax}}), run(Op::kUnion, {{kMin, -1}}, {{0, kMax}}));
    EXPECT_EQ((Ranges{{0, kMax}}), run(Op::kUnion, {{0, kMax}}, {{5, 5}, {kMax, kMax}}));
}

TEST(Intersection, CutsBothWays) {
    EXPECT_EQ((Ranges{{2, 3}, {5, 6}, {9, 10}}), run(Op::kIntersection, {{1, 10}}, {{2, 3}, {5, 6}, {9, 12}}));
    EXPECT_EQ((Ranges{{2, 3}, {5, 6}, {9, 10}}), run(Op::kIntersection, {{2, 3}, {5, 6}, {9, 12}}, {{1, 10}}));
    EXPECT_EQ(Ranges{}, run(Op::kIntersection, {{1, 2}}, {{3, 4}}));
    Ranges s = {{kMin, -7}, {0, 0}, {3, kMax}};
    EXPECT_EQ(s, run(Op::kIntersection, s, s));
    EXPECT_EQ(Ranges{}, run(Op::kIntersection, {}, s));
    EXPECT_EQ(Ranges{}, run(Op::kIntersection, s, {}));
    EXPECT_EQ((Ranges{{kMax, kMax}}), run(Op::kIntersection, {{kMin, kMax}}, {{kMax, kMax}}));
}

TEST(Exclusion, CutsPiecesBeforeBetweenAndAfter) {
    Ranges a = {{1, 10}};
    EXPECT_EQ((Ranges{{1, 2}, {5, 5}, {7, 10}}), run(Op::kExclusion, a, {{3, 4}, {6, 6}}));
    EXPECT_EQ(Ranges{}, run(Op::kExclusion, a, {{0, 20}}));
    EXPECT_EQ((Ranges{{2, 10}}), run(Op::kExclusion, a, {{-5, 1}}));
    EXPECT_EQ(a, run(Op::kExclusion, a, {}));
    EXPECT_EQ(Ranges{}, run(Op::kExclusion, {}, a));
    EXPECT_EQ((Ranges{{1, 3}, {12, 15}}), run(Op::kExclusion, {{1, 5}, {10, 15}}, {{4, 11}}));
}

TEST(Exclusion, NeverOverflowsAtTheInt4Extremes) {
    Ranges all = {{kMin, kMax}};
    EXPECT_EQ((Ranges{{kMin + 1, kMax - 1}}), run(Op::kExclusion, all, {{kMin, kMin}, {kMax, kMax}}));
    EXPECT_EQ((Ranges{{kMin, -1}, {1, kMax}}), run(Op::kExclusion, all, {{0, 0}}));
    EXPECT_EQ((Ranges{{kMin, kMin}, {kMax, kMax}}), run(Op::kExclusion, all, {{kMin + 1, kMax - 1}}));
    EXPECT_EQ(Ranges{}, run(Op::kExclusion, {{kMin, kMin}, {kMax, kMax}}, all));
}

// Non-canonical input gives what the cutting steps give, and never
// overflows: here B[0] ends at the int4 maximum and another range follows.
TEST(Exclusion, NonCanonicalInputFollowsTheCuttingSteps) {
    EXPECT_EQ((Ranges{{0, 2}, {5, 1}, {7, 10}}), run(Op::kExclusion, {{0, 10}}, {{3, 4}, {2, 6}}));
    EXPECT_EQ((Ranges{{0, 4}, {0, 9}, {21, kMax}}),
              run(Op::kExclusion, {{0, kMax}}, {{5, kMax}, {10, 20}}));
    EXPECT_EQ((Ranges{{5, 6}, {2, 3}}), run(Op::kIntersection, {{1, 10}}, {{5, 6}, {2, 3}}));
}

TEST(PushOrMerge, MergesOnlyIntoTheLastRange) {
    Vec out;
    Ranges run1 = {{1, 3}, {6, 8}};
    pushOrMerge(out, run1.data(), run1.data() + run1.size());
    Ranges run2 = {{9, 9}, {10, 12}, {20, 21}, {30, 30}};
    pushOrMerge(out, run2.data(), run2.data() + run2.size());
    EXPECT_EQ((Ranges{{1, 3}, {6, 12}, {20, 21}, {30, 30}}), toRanges(out));
    pushOrMerge(out, run2.data(), run2.data());
    EXPECT_EQ(4u, out.size);
    Ranges top = {{31, kMax}};
    pushOrMerge(out, top.data(), top.data() + 1);
    EXPECT_EQ((Ranges{{1, 3}, {6, 12}, {20, 21}, {30, kMax}}), toRanges(out));
}

TEST(RangeArrayInsert, MergesWithEveryTouchedRange) {
    EXPECT_EQ((Ranges{{1, 6}}), insert({{1, 2}, {5, 6}}, {3, 4}));
    EXPECT_EQ((Ranges{{1, 2}, {5, 6}, {8, 9}}), insert({{1, 2}, {5, 6}}, {8, 9}));
    EXPECT_EQ((Ranges{{-5, -3}, {1, 2}, {5, 6}}), insert({{1, 2}, {5, 6}}, {-5, -3}));
    EXPECT_EQ((Ranges{{1, 2}, {5, kMax}}), insert({{1, 2}}, {5, kMax}));
    EXPECT_EQ((Ranges{{0, 100}, {200, 300}}), insert({{1, 2}, {5, 6}, {200, 300}}, {0, 100}));
    EXPECT_EQ((Ranges{{1, 2}, {4, 4}, {6, 6}}), insert({{1, 2}, {6, 6}}, {4, 4}));
    EXPECT_EQ((Ranges{{3, 3}}), insert({}, {3, 3}));
}

TEST(RangeArrayInsert, HandlesTheInt4Extremes) {
    EXPECT_EQ((Ranges{{kMin, kMin}, {kMax, kMax}}), insert({{kMax, kMax}}, {kMin, kMin}));
    EXPECT_EQ((Ranges{{kMin, kMin}, {kMax, kMax}}), insert({{kMin, kMin}}, {kMax, kMax}));
    EXPECT_EQ((Ranges{{kMin, kMax}}), insert({{kMin, kMin}, {kMax, kMax}}, {kMin + 1, kMax - 1}));
    EXPECT_EQ((Ranges{{kMin, 0}}), insert({{kMin, kMin}}, {kMin + 1, 0}));
}

TEST(RangeArrayInsert, GrowsByDoubling) {
    Vec v(3);
    for (int i = 0; i < 7; ++i) rangeArrayInsert(v, R{10 * (7 - i), 10 * (7 - i)});
    EXPECT_EQ(7u, v.size);
    EXPECT_EQ(12u, v.capacity);
    EXPECT_EQ((R{10, 10}), v.data[0]);
}

bool included(const Ranges& a, const Ranges& b, Forms* forms = nullptr) {
    return isStrictlyIncluded(a.data(), a.data() + a.size(), b.data(), b.data() + b.size(), forms);
}
bool overlap(const Ranges& a, const Ranges& b, Forms* forms = nullptr) {
    return isOverlap(a.data(), a.data() + a.size(), b.data(), b.data() + b.size(), forms);
}
bool spansOverlap(const Ranges& a, const Ranges& b, Forms* forms = nullptr) {
    return rangeSpansOverlap(RangeSpan{a.data(), a.data() + a.size()}, RangeSpan{b.data(), b.data() + b.size()},
                             forms);
}
bool isCanonical(const Ranges& v) {
    return qv::pgRangeArray::fast::canonicalAfter(v.data(), v.data() + v.size(), qv::pgRangeArray::fast::kBeforeAll);
}

TEST(SetTests, InclusionAndOverlap) {
    EXPECT_TRUE(included({{2, 3}}, {{1, 5}}));
    EXPECT_FALSE(included({{1, 5}}, {{2, 3}}));
    EXPECT_TRUE(included({{1, 5}}, {{1, 5}}));
    EXPECT_FALSE(included({}, {{1, 5}}));
    EXPECT_FALSE(included({{1, 5}}, {}));
    EXPECT_FALSE(included({{1, 7}}, {{1, 3}, {5, 7}}));
    EXPECT_TRUE(included({{1, 2}, {4, 4}, {kMax, kMax}}, {{0, 5}, {9, kMax}}));
    EXPECT_FALSE(included({{1, 2}, {kMax, kMax}}, {{0, 5}}));
    EXPECT_TRUE(overlap({{1, 5}}, {{5, 9}}));
    EXPECT_TRUE(overlap({{5, 9}}, {{1, 5}}));
    EXPECT_FALSE(overlap({{1, 4}}, {{5, 9}}));
    EXPECT_FALSE(overlap({}, {{1, 9}}));
    EXPECT_TRUE(overlap({{kMin, kMin}}, {{kMin, kMax}}));
    EXPECT_FALSE(overlap({{kMin, kMin}, {kMax, kMax}}, {{kMin + 1, kMax - 1}}));
}

// ---- randomized comparison with the reference ---------------------------------

TEST(KernelsRandomized, BinaryKernelsMatchTheReference) {
    Generator g(20261207);
    for (int i = 0; i < 6000; ++i) {
        bool wide = i % 2 == 1;
        Ranges a = g.set(wide), b = g.set(wide);
        qv::pg::tSize capacity = std::max<qv::pg::tSize>(1, std::max(a.size(), b.size()));
        for (Op op : {Op::kUnion, Op::kIntersection, Op::kExclusion})
            ASSERT_EQ(reference(op, a, b), run(op, a, b, capacity))
                << "op " << int(op) << " case " << i << " a=" << show(a) << " b=" << show(b);
        // the model's two evaluations agree with each other
        ASSERT_EQ(reference(Op::kIntersection, a, b), qv::model::intersection(a, b)) << "a=" << show(a) << " b=" << show(b);
        ASSERT_EQ(reference(Op::kExclusion, a, b), qv::model::intersection(a, qv::model::complement(b)));
        ASSERT_EQ(!a.empty() && reference(Op::kExclusion, a, b).empty(), included(a, b))
            << "a=" << show(a) << " b=" << show(b);
        ASSERT_EQ(!reference(Op::kIntersection, a, b).empty(), overlap(a, b))
            << "a=" << show(a) << " b=" << show(b);
        // The walks that must reach the end: a n b lies in b, b \ a misses a.
        Ranges common = reference(Op::kIntersection, a, b);
        ASSERT_EQ(!common.empty(), included(common, b)) << "a=" << show(a) << " b=" << show(b);
        ASSERT_FALSE(overlap(a, reference(Op::kExclusion, b, a))) << "a=" << show(a) << " b=" << show(b);
    }
}

// Sets of every size class (empty, a few ranges, hundreds, thousands: so
// that one input is often far smaller than the other, in either order), at
// the int4 extremes or in between, canonical or with one fault (in the
// bigger input often where a search would not read): every kernel gives
// what the step-by-step walks give, whether the inputs' form is unknown or
// known from an earlier call (which records it truly), and the overlap
// test of two range arrays agrees on canonical input.
TEST(KernelsRandomized, FastPathsMatchTheWalks) {
    Generator g(1412);
    const int sizes[] = {0, 1, 3, 12, 40, 300, 700, 3000};
    const qv::pgRangeArray::fast::Form unknown = qv::pgRangeArray::fast::kFormUnknown;
    for (int i = 0; i < 1500; ++i) {
        int na = sizes[g.below(8)], nb = sizes[g.below(8)];
        std::int64_t span = 41LL * std::max(na, nb) + 2;
        std::int64_t base = g.below(3) == 0 ? kMin : g.below(2) ? std::int64_t(kMax) - span : g.below(1000);
        std::int64_t shift = na < nb ? g.below(int(41 * nb) + 1) : 0;
        Ranges a = g.run(na, base + shift), b = g.run(nb, base + (na < nb ? 0 : g.below(int(41 * na) + 1)));
        int fault = g.below(4);
        if (fault & 1) na < nb ? g.spoil(a) : g.spoilUnread(a, b);
        if (fault & 2) nb < na ? g.spoil(b) : g.spoilUnread(b, a);
        Forms forms[6];                         // one per kernel and order of the inputs
        for (int pass = 0; pass < 2; ++pass) {  // forms unknown, then as learnt
            for (Op op : {Op::kUnion, Op::kIntersection, Op::kExclusion})
                ASSERT_EQ(runStepwise(op, a, b), run(op, a, b, 1, &forms[int(op)]))
                    << "op " << int(op) << " pass " << pass << " case " << i << " a=" << show(a) << " b=" << show(b);
            const R* a0 = a.data();
            const R* b0 = b.data();
            for (int swap = 0; swap < 2; ++swap) {
                ASSERT_EQ(stepwiseIsStrictlyIncluded(a0, a0 + a.size(), b0, b0 + b.size()),
                          included(a, b, &forms[3 + swap]))
                    << "pass " << pass << " case " << i << " a=" << show(a) << " b=" << show(b);
                ASSERT_EQ(stepwiseIsOverlap(a0, a0 + a.size(), b0, b0 + b.size()), overlap(a, b, &forms[5]))
                    << "pass " << pass << " case " << i << " a=" << show(a) << " b=" << show(b);
                std::swap(a, b);
                std::swap(a0, b0);
                std::swap(forms[4].a, forms[4].b);
                std::swap(forms[5].a, forms[5].b);
            }
            for (const Forms& f : forms) {
                ASSERT_TRUE(f.a == unknown || (f.a == qv::pgRangeArray::fast::kFormCanonical) == isCanonical(a));
                ASSERT_TRUE(f.b == unknown || (f.b == qv::pgRangeArray::fast::kFormCanonical) == isCanonical(b));
            }
        }
        if (fault == 0) {
            Ranges all(a);
            all.insert(all.end(), b.begin(), b.end());
            ASSERT_EQ(normalize(all), run(Op::kUnion, a, b)) << "case " << i;
            Ranges common = run(Op::kIntersection, a, b);
            ASSERT_EQ(!a.empty() && run(Op::kExclusion, a, b).empty(), included(a, b)) << "case " << i;
            ASSERT_EQ(!common.empty(), included(common, b) && included(common, a)) << "case " << i;
            ASSERT_EQ(!common.empty(), spansOverlap(a, b)) << "case " << i;
            if (!a.empty()) {  // one range holding all of a, then one too short
                ASSERT_TRUE(included(a, {R{a.front().lower, a.back().upper}})) << "case " << i;
                if (a.back().upper > a.front().lower) {
                    ASSERT_FALSE(included(a, {R{a.front().lower, a.back().upper - 1}})) << "case " << i;
                }
            }
        }
    }
}

TEST(KernelsRandomized, SmallDomainMatchesPointSets) {
    // An independent check of the reference itself: sets of points.
    Generator g(7);
    auto points = [](const Ranges& s) {
        std::set<int> p;
        for (const R& r : s)
            for (int x = r.lower; x <= r.upper; ++x) p.insert(x);
        return p;
    };
    for (int i = 0; i < 2000; ++i) {
        Ranges a = g.set(false), b = g.set(false);
        std::set<int> pa = points(a), pb = points(b), u = pa, n, x;
        u.insert(pb.begin(), pb.end());
        for (int v : pa) (pb.count(v) ? n : x).insert(v);
        ASSERT_EQ(u, points(run(Op::kUnion, a, b)));
        ASSERT_EQ(n, points(run(Op::kIntersection, a, b)));
        ASSERT_EQ(x, points(run(Op::kExclusion, a, b)));
        ASSERT_EQ(normalize(run(Op::kUnion, a, b)), run(Op::kUnion, a, b));  // canonical
    }
}

TEST(KernelsRandomized, InsertMatchesTheReference) {
    Generator g(99);
    for (int i = 0; i < 3000; ++i) {
        bool wide = i % 2 == 1;
        Vec v;
        Ranges all;
        int n = g.below(12);
        for (int k = 0; k < n; ++k) {
            R r = g.range(wide);
            all.push_back(r);
            rangeArrayInsert(v, r);
            ASSERT_EQ(normalize(all), toRanges(v)) << "case " << i << " after " << show(all);
        }
    }
}

TEST(KernelsRandomized, PushOrMergeMatchesTheReference) {
    Generator g(4242);
    for (int i = 0; i < 3000; ++i) {
        bool wide = i % 2 == 1;
        Ranges x = g.set(wide), y;
        for (const R& r : g.set(wide))
            if (x.empty() || r.lower >= x.back().lower) y.push_back(r);
        Vec out;
        for (const R& r : x) out.push_back(r);
        pushOrMerge(out, y.data(), y.data() + y.size());
        ASSERT_EQ(reference(Op::kUnion, x, y), toRanges(out)) << "x=" << show(x) << " y=" << show(y);
    }
}

// Long canonical inputs are tested in two halves side by side: every other
// range of B lies in B, and stops doing so when one of them, in either half
// or at either end of the int4 line, reaches one value into B's next gap.
TEST(KernelsRandomized, InclusionFailsInEitherHalf) {
    Generator g(77);
    for (std::int64_t base : {std::int64_t(kMin), std::int64_t(-5000), std::int64_t(kMax) - 41 * 700}) {
        Ranges b = g.run(700, base), a;
        for (std::size_t k = 0; k < b.size(); k += 2) a.push_back(b[k]);
        ASSERT_TRUE(included(a, b));
        for (std::size_t at : {std::size_t(0), a.size() / 4, a.size() / 2, a.size() * 3 / 4, a.size() - 2}) {
            Ranges spoilt(a);
            ++spoilt[at].upper;
            ASSERT_FALSE(included(spoilt, b)) << "base " << base << " at " << at;
        }
    }
}

}  // namespace
