// qv::pg::tVector over malloc/free.
#include "qovellaPgVector.h"
#include "testSupport.h"

namespace {

using IntVector = qv::pg::tVector<int, qv::test::testMalloc, qv::test::testFree>;

int allocations = 0;
void* countingMalloc(std::size_t n) {
    ++allocations;
    return std::malloc(n);
}
void* failingMalloc(std::size_t) { return nullptr; }
using CountingVector = qv::pg::tVector<int, countingMalloc, qv::test::testFree>;

TEST(Vector, GrowsByDoublingFromItsCapacity) {
    IntVector one;
    EXPECT_EQ(1u, one.capacity);
    one.push_back(1);
    one.push_back(2);
    EXPECT_EQ(2u, one.capacity);
    EXPECT_EQ(2u, one.size);
    EXPECT_EQ(1, one[0]);
    EXPECT_EQ(2, one.back());

    IntVector three(3);
    three.resize(7);
    EXPECT_EQ(12u, three.capacity);  // 3, 6, 12: never exactly 7
    EXPECT_EQ(7u, three.size);
}

TEST(Vector, WithoutBufferAllocatesOnFirstGrowth) {
    allocations = 0;
    CountingVector v{CountingVector::NoBuffer()};
    EXPECT_EQ(0, allocations);
    EXPECT_EQ(0u, v.capacity);
    EXPECT_EQ(v.begin(), v.end());
    v.clear();
    v.reserve(0);
    EXPECT_EQ(0, allocations);
    v.push_back(5);
    v.push_back(6);
    EXPECT_EQ(2u, v.capacity);
    EXPECT_EQ(6, v.back());
    CountingVector w{CountingVector::NoBuffer()};
    w.resize(3);
    EXPECT_EQ(4u, w.capacity);  // 1, 2, 4
    v.release();
    w.release();
}

TEST(Vector, ShrinkingAndReservingWithinCapacityDoNotAllocate) {
    allocations = 0;
    CountingVector v(8);
    EXPECT_EQ(1, allocations);
    v.resize(8);
    int* buffer = v.data;
    v.resize(2);
    EXPECT_EQ(8u, v.capacity);
    v.resize(8);
    v.reserve(5);
    v.reserve(8);
    EXPECT_EQ(1, allocations);
    EXPECT_EQ(buffer, v.data);
    v.reserve(9);
    EXPECT_EQ(2, allocations);
    EXPECT_EQ(9u, v.capacity);
}

TEST(Vector, GrowthKeepsTheElements) {
    IntVector v;
    for (int i = 0; i < 1000; ++i) v.push_back(i * 3);
    EXPECT_EQ(1024u, v.capacity);
    for (int i = 0; i < 1000; ++i) ASSERT_EQ(i * 3, v[i]);
    v.clear();
    EXPECT_EQ(0u, v.size);
    EXPECT_EQ(1024u, v.capacity);
}

TEST(Vector, ReleaseAndSwap) {
    IntVector a, b(4);
    a.push_back(7);
    b.push_back(8);
    b.push_back(9);
    a.swap(b);
    EXPECT_EQ(2u, a.size);
    EXPECT_EQ(9, a[1]);
    EXPECT_EQ(1u, b.size);
    EXPECT_EQ(7, b[0]);
    a.release();
    EXPECT_EQ(nullptr, a.data);
    EXPECT_EQ(0u, a.capacity);
}

TEST(Vector, AllocationFailureIsOutOfMemory) {
    using Failing = qv::pg::tVector<int, failingMalloc, qv::test::testFree>;
    testing::internal::CaptureStdout();
    EXPECT_RAISES(Failing v(4), "53200", "reserve", "");
    EXPECT_EQ("Out of memory\n", testing::internal::GetCapturedStdout());
}

TEST(Vector, CapacityOverflowFailsInsteadOfWrapping) {
    IntVector v;
    v.capacity = qv::pg::tSize(1) << 63;  // pretend; nothing is stored
    testing::internal::CaptureStdout();
    EXPECT_RAISES(v.resize(~qv::pg::tSize(0)), "22015", "resize", "tSize overflow ");
    EXPECT_EQ("tSize overflow\n", testing::internal::GetCapturedStdout());
    v.capacity = 1;
}

TEST(Vector, OversizedRequestIsOutOfMemory) {
    IntVector v;
    testing::internal::CaptureStdout();
    EXPECT_RAISES(v.reserve(qv::pg::tSize(1) << 62), "53200", "reserve", "");
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(1u, v.capacity);
}

}  // namespace
