// The general set aggregate's state: batched insertion, merging of states,
// and the serialised form, against a reference set of points.
#include <climits>
#include <cstring>
#include <memory>
#include <random>
#include <set>
#include <vector>

#include "qovellaPgSetAggState.h"
#include "testSupport.h"

namespace {

using qv::pgRangeArray::Range;
using State = qv::setAgg::Int4ToSetOpDataSet<qv::test::testMalloc, qv::test::testFree>;
using Points = std::set<long long>;

// The settled set of a state as points.
Points pointsOf(State& s) {
    s.settle();
    Points p;
    for (const Range<int>& r : s.ranges)
        for (long long v = r.lower; v <= r.upper; ++v) p.insert(v);
    return p;
}

// Whether the settled ranges are sorted, disjoint and never touching.
bool canonical(State& s) {
    s.settle();
    for (std::size_t i = 0; i < s.ranges.size; ++i) {
        if (s.ranges[i].lower > s.ranges[i].upper) return false;
        if (i && static_cast<long long>(s.ranges[i].lower) <= s.ranges[i - 1].upper + 1LL)
            return false;
    }
    return true;
}

std::vector<unsigned char> serialize(State& s) {
    s.settle();
    std::vector<unsigned char> out(s.serialSize());
    s.serializeTo(out.data());
    return out;
}

// Deserialises from a heap buffer of exactly the given bytes, so that the
// sanitizer sees any read past the end.
std::unique_ptr<State> deserialize(const std::vector<unsigned char>& bytes) {
    std::unique_ptr<State> s(new State(nullptr, 1));
    std::unique_ptr<unsigned char[]> exact(new unsigned char[bytes.size() ? bytes.size() : 1]);
    if (!bytes.empty()) std::memcpy(exact.get(), bytes.data(), bytes.size());
    s->fromBytea(exact.get(), bytes.size());
    return s;
}

// A state whose kinds a first row has fixed.
struct FixedState : State {
    FixedState(int in, int out) : State(nullptr, 1024) {
        inputKind = in;
        outputKind = out;
    }
};

TEST(SetAggState, InsertsTheWorkedExample) {
    FixedState s(1, 4);
    for (int v : {5, 3, 4, 10}) s.addRange(v, v);
    std::vector<unsigned char> expected = {1, 4, 3, 0, 0, 0, 5, 0, 0, 0, 10, 0, 0, 0, 10, 0, 0, 0};
    EXPECT_EQ(expected, serialize(s));
}

TEST(SetAggState, SkipsPairsWithLowerAboveUpper) {
    FixedState s(2, 4);
    s.addRange(10, 1);
    s.addRange(2, 3);
    s.addRange(INT_MAX, INT_MIN);
    s.addRange(5, 6);
    EXPECT_TRUE(canonical(s));
    EXPECT_EQ((Points{2, 3, 5, 6}), pointsOf(s));
}

TEST(SetAggState, JoinsAtTheInt4Extremes) {
    FixedState s(2, 4);
    s.addRange(INT_MAX, INT_MAX);
    s.addRange(INT_MIN, INT_MIN);
    s.addRange(INT_MAX - 1, INT_MAX - 1);
    s.settle();
    ASSERT_EQ(2u, s.ranges.size);
    EXPECT_EQ(INT_MIN, s.ranges[0].lower);
    EXPECT_EQ(INT_MIN, s.ranges[0].upper);
    EXPECT_EQ(INT_MAX - 1, s.ranges[1].lower);
    EXPECT_EQ(INT_MAX, s.ranges[1].upper);
}

// Rows in random order, many batches: the state equals the reference.
TEST(SetAggState, BatchedInsertionMatchesReference) {
    std::mt19937 rng(31);
    for (int round = 0; round < 60; ++round) {
        int domain = round % 3 == 0 ? 50 : round % 3 == 1 ? 5000 : 200000;
        int rows = std::uniform_int_distribution<int>(0, 12000)(rng);
        FixedState s(2, 4);
        Points ref;
        for (int i = 0; i < rows; ++i) {
            int lo = std::uniform_int_distribution<int>(-domain, domain)(rng);
            int hi = lo + std::uniform_int_distribution<int>(-1, 3)(rng);
            s.addRange(lo, hi);
            for (long long v = lo; v <= hi; ++v) ref.insert(v);
            if (i % 997 == 0) {
                ASSERT_TRUE(canonical(s));  // settling midway changes nothing
            }
        }
        ASSERT_TRUE(canonical(s));
        ASSERT_EQ(ref, pointsOf(s));
    }
}

TEST(SetAggState, AscendingRowsAppend) {
    FixedState s(1, 4);
    for (int v = 0; v < 100000; v += 3) s.addRange(v, v + 1);
    s.settle();
    EXPECT_EQ(33334u, s.ranges.size);
    EXPECT_TRUE(canonical(s));
}

// Splitting rows among partial states and combining them gives the set of
// all rows, whatever the split and the order of combination.
TEST(SetAggState, CombinedStatesMatchReference) {
    std::mt19937 rng(7);
    for (int round = 0; round < 300; ++round) {
        int parts = std::uniform_int_distribution<int>(1, 5)(rng);
        std::vector<std::unique_ptr<State>> states;
        for (int p = 0; p < parts; ++p) states.emplace_back(new State(nullptr, 1024));
        Points ref;
        int rows = std::uniform_int_distribution<int>(0, 400)(rng);
        for (int i = 0; i < rows; ++i) {
            State& s = *states[std::uniform_int_distribution<int>(0, parts - 1)(rng)];
            s.inputKind = 2;
            s.outputKind = 5;
            int lo = std::uniform_int_distribution<int>(0, 300)(rng);
            int hi = lo + std::uniform_int_distribution<int>(0, 4)(rng);
            s.addRange(lo, hi);
            for (long long v = lo; v <= hi; ++v) ref.insert(v);
        }
        // some states go through their serialised form, some keep rows unsettled
        State all(nullptr, 1024);
        for (auto& p : states) {
            if (rng() % 2) {
                std::unique_ptr<State> copy = deserialize(serialize(*p));
                all.addOtherCtx(*copy);
            } else {
                all.addOtherCtx(*p);
            }
        }
        ASSERT_TRUE(canonical(all));
        ASSERT_EQ(ref, pointsOf(all));
    }
}

// combine(a, b) is addOtherCtx(a) then addOtherCtx(b), in one pass.
TEST(SetAggState, CombineOfTwoMatchesTwoMerges) {
    std::mt19937 rng(12);
    for (int round = 0; round < 300; ++round) {
        FixedState a(1, 4), b(1, 4);
        State fresh(nullptr, 1);
        for (State* s : {static_cast<State*>(&a), static_cast<State*>(&b)}) {
            int rows = std::uniform_int_distribution<int>(0, 60)(rng);
            for (int i = 0; i < rows; ++i) {
                int v = std::uniform_int_distribution<int>(-100, 100)(rng);
                s->addRange(v, v + std::uniform_int_distribution<int>(0, 3)(rng));
            }
            if (rng() % 3) s->settle();
        }
        // either side may be missing, or a state that saw no row
        State* sides[2][3] = {{&a, &fresh, nullptr}, {&b, &fresh, nullptr}};
        State* left = sides[0][rng() % 5 < 3 ? 0 : 1 + rng() % 2];
        State* right = sides[1][rng() % 5 < 3 ? 0 : 1 + rng() % 2];
        State one(nullptr, 1024), two(nullptr, 1024);
        one.combine(left, right);
        if (left) two.addOtherCtx(*left);
        if (right) two.addOtherCtx(*right);
        ASSERT_EQ(serialize(two), serialize(one));
    }
    FixedState r(1, 4), s(1, 3);
    r.addRange(1, 1);
    s.addRange(5, 5);
    State c(nullptr, 1024);
    EXPECT_RAISES(c.combine(&r, &s), "22015", "addOtherCtx", "fail to combine Int4ToSetOpDataSet");
    State d(nullptr, 1024);
    d.combine(nullptr, &r);
    EXPECT_EQ(Points{1}, pointsOf(d));
}

TEST(SetAggState, CombineLeavesItsInputUnchanged) {
    FixedState a(1, 4), b(1, 4);
    for (int v : {1, 2, 3}) a.addRange(v, v);
    for (int v : {9, 4}) b.addRange(v, v);  // left unsettled
    std::vector<unsigned char> before = serialize(a);
    State c(nullptr, 1024);
    c.addOtherCtx(a);
    c.addOtherCtx(b);
    EXPECT_EQ(before, serialize(a));
    EXPECT_EQ(2u, b.pending.size);
    EXPECT_EQ((Points{1, 2, 3, 4, 9}), pointsOf(c));
}

TEST(SetAggState, StatesWithoutRowsContributeNothing) {
    State fresh(nullptr, 1024);
    FixedState one(1, 3);
    one.addRange(7, 7);
    State c(nullptr, 1024);
    c.addOtherCtx(fresh);
    EXPECT_EQ(0, c.inputKind);
    c.addOtherCtx(one);
    c.addOtherCtx(fresh);
    EXPECT_EQ(1, c.inputKind);
    EXPECT_EQ(3, c.outputKind);
    EXPECT_EQ(Points{7}, pointsOf(c));
    // kinds fixed by null rows, no values: combines as an empty set
    FixedState nulls(1, 3);
    c.addOtherCtx(nulls);
    EXPECT_EQ(Points{7}, pointsOf(c));
}

TEST(SetAggState, StatesOfOtherKindsDoNotCombine) {
    FixedState r(1, 4), s(1, 3), two(2, 4);
    r.addRange(1, 1);
    EXPECT_RAISES(r.addOtherCtx(s), "22015", "addOtherCtx", "fail to combine Int4ToSetOpDataSet");
    EXPECT_RAISES(r.addOtherCtx(two), "22015", "addOtherCtx", "fail to combine Int4ToSetOpDataSet");
}

TEST(SetAggState, ReadsItsSerialisedForm) {
    std::unique_ptr<State> s = deserialize({3, 5, 1, 0, 0, 0, 2, 0, 0, 0, 0xff, 0xff, 0xff, 0x7f,
                                            0xff, 0xff, 0xff, 0x7f});
    EXPECT_EQ(3, s->inputKind);
    EXPECT_EQ(5, s->outputKind);
    EXPECT_EQ((Points{1, 2, INT_MAX}), pointsOf(*s));
    // an empty payload is the empty set, whatever the kinds
    s = deserialize({1, 4});
    EXPECT_EQ(1, s->inputKind);
    EXPECT_EQ(0u, s->ranges.size);
    s = deserialize({0, 0});
    EXPECT_EQ(0, s->inputKind);
    // kinds are signed bytes
    s = deserialize({0xff, 0x80});
    EXPECT_EQ(-1, s->inputKind);
    EXPECT_EQ(-128, s->outputKind);
}

TEST(SetAggState, RefusesTruncatedStates) {
    EXPECT_RAISES(deserialize({}), "22015", "fromBytea", "qv_int4set_agg_deserialfn empty bytea");
    EXPECT_RAISES(deserialize({1}), "22015", "fromBytea", "qv_int4set_agg_deserialfn empty bytea");
    for (std::size_t extra : {1u, 7u, 9u, 15u})
        EXPECT_RAISES(deserialize(std::vector<unsigned char>(2 + extra, 1)), "22015", "fromBytea",
                      "qv_int4set_agg_deserialfn invalid range array size");
}

// Random bytes: either one of the state's errors or a state holding exactly
// the ranges the bytes spell; never a read outside the buffer.
TEST(SetAggState, FuzzedSerialisedStates) {
    std::mt19937 rng(99);
    for (int round = 0; round < 20000; ++round) {
        std::vector<unsigned char> bytes(std::uniform_int_distribution<int>(0, 60)(rng));
        for (unsigned char& b : bytes) b = static_cast<unsigned char>(rng());
        try {
            std::unique_ptr<State> s = deserialize(bytes);
            ASSERT_EQ((bytes.size() - 2) % 8, 0u);
            ASSERT_EQ((bytes.size() - 2) / 8, s->ranges.size);
            if (s->ranges.size) {
                ASSERT_EQ(0, std::memcmp(s->ranges.begin(), bytes.data() + 2, bytes.size() - 2));
            }
            // whatever the ranges, merging and serialising stay in bounds
            State c(nullptr, 1024);
            c.addOtherCtx(*s);
            serialize(c);
        } catch (const qv::test::RaisedError& e) {
            ASSERT_EQ("22015", e.sqlstate);
            ASSERT_EQ("fromBytea", e.routine);
            ASSERT_TRUE(bytes.size() < 2 || (bytes.size() - 2) % 8 != 0);
        }
    }
}

}  // namespace
