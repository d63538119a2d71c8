// The general set aggregate's state, combined: two states read from any
// bytes, rows added, one state merged into the other, serialised and read
// back, and the final outputs written.  States read from canonical ranges
// are compared with a plain model; arbitrary ones must run clean.
#include <cstdint>
#include <vector>

#include "fuzzRanges.h"
#include "qovellaPgMixArrayWriter.h"
#include "qovellaPgSetAggState.h"

namespace {
using namespace qv::fuzz;
using State = qv::setAgg::Int4ToSetOpDataSet<contextAlloc, contextFree>;

// Reads a serialised state from an exactly sized copy of n input bytes.
void readInto(State& s, Input& in, std::size_t n) {
    if (n > in.left()) n = in.left();
    std::vector<unsigned char> copy(in.rest(), in.rest() + n);
    for (std::size_t i = 0; i < n; ++i) in.take<std::uint8_t>();
    unsigned char* exact = new unsigned char[n ? n : 1];
    if (n) std::memcpy(exact, copy.data(), n);
    try {
        s.fromBytea(exact, n);
    } catch (...) {
        delete[] exact;
        throw;
    }
    delete[] exact;
}

Ranges rangesOf(const State& s) { return Ranges(s.ranges.begin(), s.ranges.end()); }
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input in(data, size);
    runGuarded([&] {
        State a(nullptr, 1 + in.take<std::uint8_t>() % 4);
        State b(nullptr, 1);
        readInto(a, in, in.take<std::uint8_t>());
        readInto(b, in, in.take<std::uint8_t>());
        bool canonical = isCanonical(rangesOf(a)) && isCanonical(rangesOf(b));
        Ranges all = rangesOf(a);
        Ranges rb = rangesOf(b);
        std::int32_t bKind = b.inputKind;

        // rows: pairs of int32, some of them widened to many rows
        std::size_t rows = 0;
        while (in.left() >= 8 && rows < 5000) {
            std::int32_t lo = in.take<std::int32_t>(), hi = in.take<std::int32_t>();
            int repeat = (lo & 0xff) == 0x7f ? 3000 : 1;
            for (int k = 0; k < repeat; ++k, ++rows) {
                std::int32_t l = repeat > 1 ? std::int32_t(k * 3) : lo;
                std::int32_t h = repeat > 1 ? l + (hi & 3) : hi;
                a.addRange(l, h);
                if (l <= h) all.push_back({l, h});
            }
        }
        // a state that has seen no row takes over the other's kinds and set
        if (a.inputKind == 0 && bKind != 0) all.clear();
        if (bKind != 0) all.insert(all.end(), rb.begin(), rb.end());
        // combined into a new state: what merging each side into a state
        // without rows gives, either side missing or both there
        a.settle();
        State* sides[] = {&a, &b, nullptr};
        for (int i = 0; i < 3; ++i) {
            State* x = sides[i];
            State* y = sides[(i + 1) % 3];
            State joined(nullptr, 1), stepwise(nullptr, 1);
            joined.combine(x, y);
            if (x) stepwise.addOtherCtx(*x);
            if (y) stepwise.addOtherCtx(*y);
            QV_FUZZ_CHECK(joined.inputKind == stepwise.inputKind && joined.outputKind == stepwise.outputKind &&
                          sameRanges(joined.ranges, rangesOf(stepwise)));
        }
        a.addOtherCtx(b);
        a.settle();
        if (canonical) QV_FUZZ_CHECK(sameRanges(a.ranges, normalize(all)));

        // serialise and read back
        std::vector<unsigned char> serial(a.serialSize());
        a.serializeTo(serial.data());
        State c(nullptr, 1);
        c.fromBytea(serial.data(), serial.size());
        QV_FUZZ_CHECK(c.inputKind == static_cast<signed char>(a.inputKind) &&
                      c.outputKind == static_cast<signed char>(a.outputKind));
        QV_FUZZ_CHECK(sameRanges(c.ranges, rangesOf(a)));

        // final outputs, as the final function writes them
        qv::pgRangeArray::RangeSpan set{a.ranges.begin(), a.ranges.end()};
        std::uint64_t values = qv::pgRangeArray::spanValueCount(set);
        if (values <= (1u << 20)) {
            std::vector<std::int32_t> out(values + 1);
            qv::pgRangeArray::writeSpanValues(set, out.data());
        }
        qv::mixArray::MixLayout m = qv::mixArray::measureMix(a.ranges.begin(), a.ranges.size, "fuzz");
        std::vector<std::int32_t> mix;
        mix.reserve(m.elements);
        qv::mixArray::writeMixBody(mix, a.ranges.begin(), a.ranges.size);
        QV_FUZZ_CHECK(mix.size() + (m.elements ? 1 : 0) == m.elements);
    });
    return 0;
}
