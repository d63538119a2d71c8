// Stored bitfields: the size rule of the reader, and the membership and
// span tests on every accepted value, compared with a bit-by-bit model.
#include <cstdint>
#include <vector>

#include "fuzzSupport.h"
#include "qovellaPgBitField.h"

namespace bf = qv::bitField;

namespace {
bool modelMember(const bf::View& v, std::int64_t x) {
    if (x < v.lower || x > v.upper) return false;
    std::uint64_t k = std::uint64_t(x - v.lower);
    return (v.begin[k >> 3] >> (7 - (k & 7))) & 1;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The value as the server holds it: a 4-byte header, then the fuzzer's
    // bytes; exactly sized, so that a read past the end is caught.
    std::size_t length = size + 4;
    unsigned char* value = new unsigned char[length];
    std::uint32_t header = std::uint32_t(length) << 2;
    std::memcpy(value, &header, 4);
    if (size) std::memcpy(value + 4, data, size);

    bf::View v{};
    bool raised = qv::fuzz::runGuarded([&] { v = bf::readBitField(value, length, "fuzz"); });
    std::int32_t lower = 0, upper = 0;
    if (length >= 12) {
        std::memcpy(&lower, value + 4, 4);
        std::memcpy(&upper, value + 8, 4);
    }
    std::int64_t n = std::int64_t(upper) - lower + 1;
    bool valid = length >= 12 && n >= 0 && std::uint64_t(length - 12) == 8 * std::uint64_t((n + 63) / 64);
    QV_FUZZ_CHECK(raised == !valid);
    if (!raised) {
        QV_FUZZ_CHECK(v.lower == lower && v.upper == upper && v.begin == value + 12 &&
                      v.end == value + length);
        // probes around both bounds and across the domain
        std::int64_t probes[] = {INT32_MIN, INT32_MAX, std::int64_t(lower) - 1, lower,
                                 std::int64_t(lower) + 1, std::int64_t(upper) - 1, upper,
                                 std::int64_t(upper) + 1, std::int64_t(lower) + 7,
                                 std::int64_t(lower) + 8, std::int64_t(lower) + 63};
        for (std::int64_t p : probes) {
            if (p < INT32_MIN || p > INT32_MAX) continue;
            QV_FUZZ_CHECK(bf::contains(v, std::int32_t(p)) == modelMember(v, p));
        }
        // span tests on spans drawn from the probes, against a walk bit by bit
        for (std::int64_t lo : probes)
            for (std::int64_t hi : probes) {
                if (lo < INT32_MIN || lo > INT32_MAX || hi < INT32_MIN || hi > INT32_MAX) continue;
                bool any = false, all = true;
                std::int64_t first = std::max<std::int64_t>(lo, lower), last = std::min<std::int64_t>(hi, upper);
                if (lo <= hi && (hi - lo) < 4096) {
                    for (std::int64_t x = lo; x <= hi; ++x) {
                        bool m = modelMember(v, x);
                        any = any || m;
                        all = all && m;
                    }
                    QV_FUZZ_CHECK(bf::overlapsRange(v, std::int32_t(lo), std::int32_t(hi)) == any);
                    QV_FUZZ_CHECK(bf::includesRange(v, std::int32_t(lo), std::int32_t(hi)) == all);
                } else {
                    bool o = bf::overlapsRange(v, std::int32_t(lo), std::int32_t(hi));
                    bool i = bf::includesRange(v, std::int32_t(lo), std::int32_t(hi));
                    if (lo > hi) QV_FUZZ_CHECK(!o && i);
                    if (first > last) QV_FUZZ_CHECK(!o);
                }
            }
    }
    delete[] value;
    return 0;
}
