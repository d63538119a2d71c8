// The parallel phases of the set aggregates' cores, against the floor that
// their data sets: two partial states of 5,000,000 random values in
// [0, 100,000,000) each, as two workers hand them over.
//
// General aggregate: serialise both states, read both back, combine them
// into a new state; against a memcpy of both states' ranges and one linear
// merge of the two copies.  Bitfield aggregate: the same phases against a
// memcpy of both bit buffers and one word-wise OR.  Every buffer of either
// side is allocated and freed inside the timed loop, as in the server.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>

#include "qovellaPgBitField.h"
#include "qovellaPgBitFieldAgg.h"
#include "qovellaPgRangeMerges.h"
#include "qovellaPgSetAggState.h"

void qv::raiseError(const char* sqlstate, const char* routine, const char*, int, const char* fmt, ...) {
    std::fprintf(stderr, "error %s in %s: %s\n", sqlstate, routine, fmt ? fmt : "");
    std::abort();
}

namespace {

void* benchAlloc(std::size_t n) { return std::malloc(n); }
void benchFree(void* p) { std::free(p); }

typedef qv::setAgg::Int4ToSetOpDataSet<benchAlloc, benchFree> SetState;
typedef qv::pg::tBitField<benchAlloc, benchFree> Bits;
using qv::pgRangeArray::Range;

constexpr std::size_t kValues = 5000000;
constexpr std::int32_t kDomain = 100000000;

// A settled partial state of kValues random values (one worker's share).
SetState* makeSetState(unsigned seed) {
    SetState* s = new SetState(nullptr, 1);
    s->inputKind = 1;
    s->outputKind = 4;
    std::mt19937 gen(seed);
    std::uniform_int_distribution<std::int32_t> value(0, kDomain - 1);
    for (std::size_t i = 0; i < kValues; ++i) {
        std::int32_t v = value(gen);
        s->addRange(v, v);
    }
    s->settle();
    return s;
}

Bits* makeBits(unsigned seed) {
    Bits* b = new Bits();
    b->sizeForDomain(kDomain);
    std::mt19937 gen(seed);
    std::uniform_int_distribution<std::int32_t> value(0, kDomain - 1);
    for (std::size_t i = 0; i < kValues; ++i) b->setBit(static_cast<std::uint32_t>(value(gen)));
    return b;
}

SetState* setA() { static SetState* s = makeSetState(1); return s; }
SetState* setB() { static SetState* s = makeSetState(2); return s; }
Bits* bitsA() { static Bits* b = makeBits(1); return b; }
Bits* bitsB() { static Bits* b = makeBits(2); return b; }

// serialise -> bytes -> deserialise, as one worker's state travels.
SetState* setRoundTrip(const SetState& s) {
    std::size_t n = s.serialSize();
    unsigned char* bytes = static_cast<unsigned char*>(std::malloc(n));
    s.serializeTo(bytes);
    SetState* back = new SetState(nullptr, 1);
    back->fromBytea(bytes, n);
    std::free(bytes);
    return back;
}

void BM_SetAggSerialDeserialCombine(benchmark::State& state) {
    const SetState& a = *setA();
    const SetState& b = *setB();
    for (auto _ : state) {
        SetState* ra = setRoundTrip(a);
        SetState* rb = setRoundTrip(b);
        SetState* c = new SetState(nullptr, 1);
        c->combine(ra, rb);
        benchmark::DoNotOptimize(c->ranges.size);
        delete ra;
        delete rb;
        delete c;
    }
    state.counters["ranges_in"] = double(a.ranges.size + b.ranges.size);
}

void BM_SetAggFloorMemcpyMerge(benchmark::State& state) {
    const SetState& a = *setA();
    const SetState& b = *setB();
    std::size_t na = a.ranges.size, nb = b.ranges.size;
    for (auto _ : state) {
        Range<int>* ca = static_cast<Range<int>*>(std::malloc(na * sizeof(Range<int>)));
        Range<int>* cb = static_cast<Range<int>*>(std::malloc(nb * sizeof(Range<int>)));
        std::memcpy(ca, a.ranges.begin(), na * sizeof(Range<int>));
        std::memcpy(cb, b.ranges.begin(), nb * sizeof(Range<int>));
        Range<int>* out = static_cast<Range<int>*>(
            std::malloc(qv::pgRangeArray::merge::room(na, nb) * sizeof(Range<int>)));
        std::size_t n = qv::pgRangeArray::merge::unite<int>(ca, ca + na, cb, cb + nb, out);
        benchmark::DoNotOptimize(n);
        std::free(ca);
        std::free(cb);
        std::free(out);
    }
}

// serialise -> bytes -> deserialise of one bitfield state.
Bits* bitsRoundTrip(const Bits& s) {
    std::size_t n = qv::bitFieldAgg::kStateHeader + s.size;
    unsigned char* bytes = static_cast<unsigned char*>(std::malloc(n));
    qv::bitFieldAgg::writeState(bytes, 1, 4, s);
    std::uint32_t header = static_cast<std::uint32_t>(n) << 2;
    std::memcpy(bytes, &header, 4);
    qv::bitFieldAgg::SerialisedState in = qv::bitFieldAgg::readState(bytes, n);
    Bits* back = new Bits();
    qv::bitFieldAgg::loadBits(in, *back);
    std::free(bytes);
    return back;
}

void BM_BitFieldAggSerialDeserialCombine(benchmark::State& state) {
    const Bits& a = *bitsA();
    const Bits& b = *bitsB();
    for (auto _ : state) {
        Bits* ra = bitsRoundTrip(a);
        Bits* rb = bitsRoundTrip(b);
        Bits c;
        c.assignUnion(*ra, *rb);
        benchmark::DoNotOptimize(c.data[0]);
        ra->release();
        rb->release();
        c.release();
        delete ra;
        delete rb;
    }
}

void BM_BitFieldAggFloorMemcpyOr(benchmark::State& state) {
    const Bits& a = *bitsA();
    const Bits& b = *bitsB();
    std::size_t n = a.size;
    for (auto _ : state) {
        unsigned char* ca = static_cast<unsigned char*>(std::malloc(n));
        unsigned char* cb = static_cast<unsigned char*>(std::malloc(n));
        unsigned char* out = static_cast<unsigned char*>(std::malloc(n));
        std::memcpy(ca, a.data, n);
        std::memcpy(cb, b.data, n);
        for (std::size_t i = 0; i + 8 <= n; i += 8) {
            std::uint64_t x, y;
            std::memcpy(&x, ca + i, 8);
            std::memcpy(&y, cb + i, 8);
            x |= y;
            std::memcpy(out + i, &x, 8);
        }
        benchmark::DoNotOptimize(out[0]);
        std::free(ca);
        std::free(cb);
        std::free(out);
    }
}

}  // namespace

BENCHMARK(BM_SetAggSerialDeserialCombine)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_SetAggFloorMemcpyMerge)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_BitFieldAggSerialDeserialCombine)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_BitFieldAggFloorMemcpyOr)->Unit(benchmark::kMillisecond)->MinTime(2.0);
