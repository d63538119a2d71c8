// The bitfield set aggregate's serialised state: the reader against the
// bytes it was given, and the three output encodings of the bits it loads
// against a bit-by-bit model.
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzzSupport.h"
#include "qovellaPgBitFieldAgg.h"

namespace {

namespace agg = qv::bitFieldAgg;
using Bits = qv::pg::tBitField<qv::fuzz::contextAlloc, qv::fuzz::contextFree>;

// The runs of the first size bytes of data, one bit at a time.
std::vector<std::int32_t> modelRanges(const unsigned char* data, std::uint32_t size) {
    std::vector<std::int32_t> out;
    for (std::int64_t v = 0; v < 8 * std::int64_t(size); ++v) {
        if (!((data[v >> 3] >> (7 - (v & 7))) & 1)) continue;
        if (!out.empty() && out.back() == v - 1) {
            out.back() = static_cast<std::int32_t>(v);
        } else {
            out.push_back(static_cast<std::int32_t>(v));
            out.push_back(static_cast<std::int32_t>(v));
        }
    }
    return out;
}

std::vector<std::int32_t> written(qv::pgRangeArray::ArrayDataType kind, const Bits& b,
                                  const agg::OutputCounts& c, std::uint64_t n) {
    std::vector<std::int32_t> out(n);
    agg::writeOutput(kind, b.data, b.size, c, out.data());
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The value as the server holds it: a 4-byte header, then the fuzzer's
    // bytes; exactly sized, so that a read past the end is caught.
    if (size > 4096) return 0;
    std::size_t length = size + 4;
    unsigned char* value = new unsigned char[length];
    std::uint32_t header = std::uint32_t(length) << 2;
    std::memcpy(value, &header, 4);
    if (size) std::memcpy(value + 4, data, size);

    qv::fuzz::runGuarded([&] {
        agg::SerialisedState s = agg::readState(value, length);
        QV_FUZZ_CHECK(s.size == length - agg::kStateHeader && s.size <= s.capacity);
        QV_FUZZ_CHECK((s.inputKind == 0) == (s.capacity == 0));
        Bits bits;
        agg::loadBits(s, bits);
        QV_FUZZ_CHECK(bits.size == s.size && bits.capacity == s.capacity && bits.capacity % 8 == 0);

        // Written back, the state is the bytes it was read from.
        std::vector<unsigned char> out(agg::kStateHeader + bits.size);
        agg::writeState(out.data(), s.inputKind, s.outputKind, bits);
        QV_FUZZ_CHECK(std::memcmp(out.data() + 4, value + 4, out.size() - 4) == 0);

        // The three encodings of its bits.
        std::vector<std::int32_t> ranges = modelRanges(bits.data, bits.size);
        agg::OutputCounts c = agg::countOutput(bits.data, bits.size);
        QV_FUZZ_CHECK(2 * c.runs == ranges.size());
        QV_FUZZ_CHECK(written(qv::pgRangeArray::kRangeArray, bits, c, 2 * c.runs) == ranges);
        std::vector<std::int32_t> scalars, mix;
        for (std::size_t i = 0; i < ranges.size(); i += 2) {
            for (std::int64_t v = ranges[i]; v <= ranges[i + 1]; ++v)
                scalars.push_back(static_cast<std::int32_t>(v));
            if (ranges[i] == ranges[i + 1]) {
                mix.push_back(ranges[i]);
            } else {
                mix.push_back(static_cast<std::int32_t>(std::uint32_t(ranges[i]) | 0x80000000u));
                mix.push_back(ranges[i + 1]);
            }
        }
        if (!scalars.empty()) mix.insert(mix.begin(), static_cast<std::int32_t>(scalars.size()));
        QV_FUZZ_CHECK(c.values == scalars.size() && c.mix == mix.size());
        QV_FUZZ_CHECK(written(qv::pgRangeArray::kScalarArray, bits, c, c.values) == scalars);
        QV_FUZZ_CHECK(written(qv::pgRangeArray::kMixArray, bits, c, c.mix) == mix);

        // Or-merged into a state of another size, then into itself.
        Bits other;
        other.sizeForDomain(100);
        other.setBit(7);
        other.orMerge(bits);
        QV_FUZZ_CHECK(other.size >= bits.size && other.testBit(7));
        for (std::uint32_t i = 0; i < bits.size; ++i)
            QV_FUZZ_CHECK((other.data[i] & bits.data[i]) == bits.data[i]);
        bits.orMerge(bits);
    });
    delete[] value;
    return 0;
}
