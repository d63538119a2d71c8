// The bitfield set aggregate's state with rows: a state read from any bytes
// takes rows of every input kind, is or-merged, written and read back, and
// writes the three outputs, compared with a bit-by-bit model.
#include <cstdint>
#include <vector>

#include "fuzzSupport.h"
#include "qovellaPgBitFieldAgg.h"

namespace agg = qv::bitFieldAgg;

namespace {
using Builder = qv::pg::tBitField<qv::fuzz::contextAlloc, qv::fuzz::contextFree>;

// Runs of set bits, found one bit at a time.
std::vector<std::pair<std::int32_t, std::int32_t>> modelRuns(const unsigned char* d, std::uint32_t size) {
    std::vector<std::pair<std::int32_t, std::int32_t>> runs;
    for (std::int64_t i = 0; i < 8 * std::int64_t(size); ++i) {
        if (!((d[i >> 3] >> (7 - (i & 7))) & 1)) continue;
        if (!runs.empty() && runs.back().second == i - 1) runs.back().second = std::int32_t(i);
        else runs.push_back({std::int32_t(i), std::int32_t(i)});
    }
    return runs;
}

void checkOutputs(const Builder& bits) {
    if (bits.size > 4096) return;
    agg::OutputCounts c = agg::countOutput(bits.data, bits.size);
    auto runs = modelRuns(bits.data, bits.size);
    std::uint64_t values = 0;
    for (auto& r : runs) values += std::uint64_t(r.second - r.first) + 1;
    QV_FUZZ_CHECK(c.runs == runs.size() && c.values == values);
    std::vector<std::int32_t> out(c.runs * 2 + 1);
    agg::writeOutput(qv::pgRangeArray::kRangeArray, bits.data, bits.size, c, out.data());
    for (std::size_t i = 0; i < runs.size(); ++i)
        QV_FUZZ_CHECK(out[2 * i] == runs[i].first && out[2 * i + 1] == runs[i].second);
    if (c.values <= (1u << 18)) {
        std::vector<std::int32_t> s(c.values + 1);
        agg::writeOutput(qv::pgRangeArray::kScalarArray, bits.data, bits.size, c, s.data());
    }
    std::vector<std::int32_t> m(c.mix + 1);
    agg::writeOutput(qv::pgRangeArray::kMixArray, bits.data, bits.size, c, m.data());
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    qv::fuzz::Input in(data, size);
    std::size_t n = in.take<std::uint8_t>();
    if (n > in.left()) n = in.left();
    // the serialised state as the server holds it, exactly sized
    std::vector<unsigned char> value(4 + n);
    std::uint32_t header = std::uint32_t(4 + n) << 2;
    std::memcpy(value.data(), &header, 4);
    for (std::size_t i = 0; i < n; ++i) value[4 + i] = in.take<std::uint8_t>();
    unsigned char* exact = new unsigned char[value.size()];
    std::memcpy(exact, value.data(), value.size());

    qv::fuzz::runGuarded([&] {
        Builder bits;
        agg::SerialisedState s = agg::readState(exact, value.size());
        QV_FUZZ_CHECK(s.bits == exact + 10 && s.size == value.size() - 10 && s.size <= s.capacity);
        agg::loadBits(s, bits);
        if (bits.capacity == 0) bits.sizeForDomain(in.take<std::uint16_t>() % 4096);
        checkOutputs(bits);

        // rows of every kind, each guarded on its own
        while (in.left()) {
            std::uint8_t kind = in.take<std::uint8_t>();
            std::size_t count = in.take<std::uint8_t>() % 16;
            std::vector<std::int32_t> e(count);
            for (auto& v : e) {
                std::int32_t raw = in.take<std::int32_t>();
                v = (raw & 0x40000000) ? raw : raw % 20000;  // mostly inside small domains
            }
            qv::fuzz::raises([&] {
                switch (kind % 5) {
                    case 0: if (count) agg::addValue(bits, e[0]); break;
                    case 1: if (count >= 2) agg::addPair(bits, e[0], e[1]); break;
                    case 2: agg::addScalars(bits, e.data(), e.size()); break;
                    case 3: agg::addRanges(bits, e.data(), e.size()); break;
                    case 4: agg::addMixBody(bits, e.data(), e.size()); break;
                }
            });
        }
        checkOutputs(bits);

        // serialise, read back, or-merge into a copy
        std::vector<unsigned char> out(agg::kStateHeader + bits.size);
        std::uint32_t h = std::uint32_t(out.size()) << 2;
        std::memcpy(out.data(), &h, 4);
        agg::writeState(out.data(), s.inputKind ? s.inputKind : 1, s.outputKind ? s.outputKind : 4, bits);
        agg::SerialisedState back = agg::readState(out.data(), out.size());
        QV_FUZZ_CHECK(back.size == bits.size && back.capacity == bits.capacity);
        QV_FUZZ_CHECK(bits.size == 0 || std::memcmp(back.bits, bits.data, bits.size) == 0);
        Builder other;
        other.sizeForDomain(in.take<std::uint16_t>());
        other.orMerge(bits);
        QV_FUZZ_CHECK(other.size >= bits.size);
        for (std::uint32_t i = 0; i < bits.size; ++i) QV_FUZZ_CHECK((other.data[i] & bits.data[i]) == bits.data[i]);
        bits.release();
        other.release();
    });
    delete[] exact;
    return 0;
}
