// Index key of range-array columns: building, union, split, stored form,
// and the rule the index lives by: a row the set test accepts is never
// refused by its leaf key or by an inner key above it.
#include <algorithm>
#include <climits>
#include <random>
#include <vector>

#include "qovellaPgRangeKernels.h"
#include "qovellaPgRangeOverlap.h"
#include "qovellaPgSetKey.h"
#include "testSupport.h"

namespace qv {
namespace pgRangeArray {
// defined with the kernels' tests
bool operator==(const Range<int>& a, const Range<int>& b);
std::ostream& operator<<(std::ostream& o, const Range<int>& r);
}  // namespace pgRangeArray
}  // namespace qv

namespace {

namespace sk = qv::setKey;
using sk::Range;
using Ranges = std::vector<Range<int>>;

sk::Key keyOf(const Ranges& r, std::size_t k) {
    sk::Key key;
    sk::fromRow(r.data(), r.size(), k, key);
    return key;
}

// A row's leaf key as a search reads it back from the index.
sk::Key storedLeafKey(const Ranges& r, std::size_t k, sk::Key& key) {
    sk::leafKey(r.data(), r.size(), k, key);
    std::vector<unsigned char> bytes(sk::storedSize(key));
    sk::store(key, bytes.data());
    sk::Key back;
    EXPECT_TRUE(sk::load(bytes.data(), bytes.size(), back));
    return back;
}

Ranges rangesOf(const sk::Key& key) { return Ranges(key.ranges, key.ranges + key.count); }

TEST(SetKey, LeafKeys) {
    struct Case {
        Ranges row;
        std::size_t k;
        bool universal;
        Ranges key;
    } cases[] = {
        {{}, 4, false, {}},
        {{{1, 5}, {10, 20}}, 4, false, {{1, 5}, {10, 20}}},
        {{{1, 5}, {6, 9}, {20, 20}}, 2, false, {{1, 9}, {20, 20}}},  // touching ranges join first
        {{{0, 0}, {10, 10}, {12, 12}, {30, 30}}, 2, false, {{0, 12}, {30, 30}}},  // widest gap kept
        {{{0, 0}, {5, 5}, {10, 10}}, 2, false, {{0, 0}, {5, 10}}},  // of equal gaps, the earlier kept
        {{{0, 0}, {5, 5}, {10, 10}}, 1, false, {{0, 10}}},
        {{{INT_MIN, -1}, {1, INT_MAX}}, 1, false, {{INT_MIN, INT_MAX}}},
        {{{5, 1}}, 4, true, {}},                     // lower > upper
        {{{10, 20}, {1, 5}}, 4, true, {}},           // out of order
        {{{1, 10}, {10, 20}}, 4, true, {}},          // overlapping
    };
    for (const Case& c : cases) {
        sk::Key key = keyOf(c.row, c.k);
        EXPECT_EQ(c.universal, key.universal);
        EXPECT_EQ(c.key, rangesOf(key));
    }
}

TEST(SetKey, StoredForm) {
    const sk::Key keys[] = {keyOf({}, 4), keyOf({{5, 1}}, 4), keyOf({{1, 2}, {-7, 9}}, 4),
                            keyOf({{-7, -3}, {1, 2}}, 4)};
    for (const sk::Key& key : keys) {
        std::vector<unsigned char> bytes(sk::storedSize(key) + 1);
        sk::store(key, bytes.data() + 1);  // unaligned, as after a short header
        sk::Key back;
        ASSERT_TRUE(sk::load(bytes.data() + 1, bytes.size() - 1, back));
        EXPECT_EQ(key.universal, back.universal);
        EXPECT_EQ(rangesOf(key), rangesOf(back));
    }
    sk::Key bad;
    unsigned char junk[8 * (sk::kMaxRanges + 1)] = {};
    EXPECT_FALSE(sk::load(junk, 3, bad));
    EXPECT_FALSE(sk::load(junk, sizeof(junk), bad));
    junk[0] = 1;  // a signature whose least value is past its greatest
    EXPECT_FALSE(sk::load(junk, sk::kSignatureSize, bad));
}

TEST(SetKey, Signatures) {
    // more runs than k: cells over [least; greatest], marked where the row is
    Ranges row;
    for (int i = 0; i < 40; ++i) row.push_back({INT_MIN + 1000 * i, INT_MIN + 1000 * i + 9});
    row.push_back({INT_MAX - 5, INT_MAX});
    sk::Key key, back;
    sk::leafKey(row.data(), row.size(), 4, key);
    ASSERT_TRUE(key.signature);
    EXPECT_EQ(INT_MIN, key.ranges[0].lower);
    EXPECT_EQ(INT_MAX, key.ranges[key.count - 1].upper);
    std::vector<unsigned char> bytes(sk::storedSize(key));
    sk::store(key, bytes.data());
    ASSERT_TRUE(sk::load(bytes.data(), bytes.size(), back));
    EXPECT_EQ(rangesOf(key), rangesOf(back));
    EXPECT_EQ(INT_MIN, back.ranges[0].lower);
    EXPECT_EQ(INT_MAX, back.ranges[back.count - 1].upper);
    EXPECT_LE(back.count, sk::kMaxRanges);
    // cells of 2^shift values, as few as cover the span
    for (const auto& c : {std::make_pair(1LL, 0u), {248, 0}, {249, 1}, {496, 1}, {497, 2}, {1LL << 32, 25}})
        EXPECT_EQ(c.second, sk::cellShift(INT_MIN, std::int32_t(INT_MIN + c.first - 1))) << c.first;
    // rows of at most k runs keep their ranges
    sk::leafKey(row.data(), 2, 4, key);
    EXPECT_FALSE(key.signature);
}

// A random row: canonical (some ranges touching), or any bounds in any order.
Ranges randomRow(std::mt19937& rng) {
    Ranges r;
    const unsigned n = rng() % 30;
    if (rng() % 4 == 0) {
        for (unsigned i = 0; i < n % 4; ++i) r.push_back({int(rng() % 400) - 50, int(rng() % 400) - 50});
        return r;
    }
    int next = int(rng() % 300) - 50;
    for (unsigned i = 0; i < n && next < 400; ++i) {
        int hi = next + int(rng() % 6);
        r.push_back({next, hi});
        next = hi + 1 + int(rng() % 25);
    }
    return r;
}

// The set test of each strategy, as the operators run it.
bool rowPasses(std::uint16_t strategy, const Ranges& row, const sk::Query& q, const Ranges& set) {
    const Range<int>* r0 = row.data();
    const Range<int>* r1 = r0 + row.size();
    switch (strategy) {
        case sk::kContainsValue: return qv::pgRangeArray::rangesContain(r0, row.size(), q.value);
        case sk::kOverlapsPacked: return qv::pgRangeArray::rangeOverlapsRanges(q.lo, q.hi, {r0, r1});
        case sk::kOverlapsSet: return qv::pgRangeArray::isOverlap<int>(r0, r1, set.data(), set.data() + set.size());
        case sk::kContainsSet:
            return qv::pgRangeArray::isStrictlyIncluded<int>(set.data(), set.data() + set.size(), r0, r1);
        default: return qv::pgRangeArray::isStrictlyIncluded<int>(r0, r1, set.data(), set.data() + set.size());
    }
}

TEST(SetKey, NoAcceptedRowIsRefused) {
    std::mt19937 rng(23);
    for (int round = 0; round < 300; ++round) {
        const std::size_t k = 1 + rng() % 8;
        std::vector<Ranges> rows(2 + rng() % 40);
        std::vector<sk::Key> keys;
        std::vector<sk::Key> leaves;  // as the searches read them
        for (Ranges& row : rows) {
            row = randomRow(rng);
            keys.emplace_back();
            leaves.push_back(storedLeafKey(row, k, keys.back()));
        }
        sk::Key left, right;
        std::vector<std::uint32_t> order(keys.size());
        std::vector<sk::Key> scratch(keys.size());
        const std::size_t cut = sk::split(keys.data(), keys.size(), k, order.data(), scratch.data(), left, right);
        ASSERT_TRUE(cut > 0 && cut < keys.size());
        for (int query = 0; query < 40; ++query) {
            const Ranges set = randomRow(rng);
            const auto* e = reinterpret_cast<const std::int32_t*>(set.data());
            const sk::Query q{int(rng() % 450) - 60, int(rng() % 450) - 60, int(rng() % 450) - 60,
                              {set.data(), set.data() + set.size()}, sk::formOf(e, 2 * set.size())};
            for (std::uint16_t s = sk::kContainsValue; s <= sk::kContainedInSet; ++s)
                for (std::size_t i = 0; i < rows.size(); ++i) {
                    if (!rowPasses(s, rows[i], q, set)) continue;
                    EXPECT_TRUE(sk::consistent(s, leaves[i], true, q)) << "strategy " << s << " row " << i;
                    const sk::Key& inner = std::find(order.begin(), order.begin() + cut, i) !=
                                                   order.begin() + cut ? left : right;
                    EXPECT_TRUE(sk::consistent(s, inner, false, q)) << "strategy " << s << " inner";
                }
        }
    }
}

TEST(SetKey, PenaltyIsGrowth) {
    const sk::Key a = keyOf({{0, 9}}, 2), b = keyOf({{20, 24}}, 2), c = keyOf({{3, 4}}, 2);
    EXPECT_EQ(5.0, sk::penalty(a, b, 2));
    EXPECT_EQ(0.0, sk::penalty(a, c, 2));
    EXPECT_EQ(15.0, sk::penalty(a, b, 1));  // the gap is filled
    EXPECT_EQ(double(std::uint64_t(1) << 32) - 10, sk::penalty(a, keyOf({{2, 1}}, 2), 2));
}

}  // namespace
