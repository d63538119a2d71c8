// The in-memory bit builder: sizing for a domain, setting bits and spans,
// copying, or-merging and one-pass unions, driven by a stream of operations and compared with
// a byte-vector model.
#include <cstdint>
#include <vector>

#include "fuzzSupport.h"
#include "qovellaPgBitField.h"

namespace {
using Builder = qv::pg::tBitField<qv::fuzz::contextAlloc, qv::fuzz::contextFree>;

bool same(const Builder& b, const std::vector<unsigned char>& m) {
    if (b.size != m.size()) return false;
    return b.size == 0 || std::memcmp(b.data, m.data(), b.size) == 0;
}

void set(std::vector<unsigned char>& m, std::uint32_t i) { m[i >> 3] |= 0x80 >> (i & 7); }
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    qv::fuzz::Input in(data, size);
    qv::fuzz::runGuarded([&] {
        Builder b[2];
        std::vector<unsigned char> m[2];
        for (int k = 0; k < 2; ++k) {
            std::uint32_t domain = in.take<std::uint16_t>() % 5000;
            b[k].sizeForDomain(domain);
            m[k].assign(domain / 8 + 1, 0);
            QV_FUZZ_CHECK(b[k].capacity % 8 == 0 && b[k].capacity >= b[k].size && same(b[k], m[k]));
            QV_FUZZ_CHECK(b[k].lastBit() == 8 * std::int64_t(m[k].size()) - 1);
        }
        while (in.left()) {
            std::uint8_t op = in.take<std::uint8_t>();
            int k = op & 1;
            std::int32_t x = in.take<std::int16_t>();
            std::int32_t y = in.take<std::int16_t>();
            switch ((op >> 1) % 5) {
                case 0:
                    if (b[k].holds(x)) {
                        b[k].setBit(std::uint32_t(x));
                        set(m[k], std::uint32_t(x));
                    }
                    QV_FUZZ_CHECK(b[k].holds(x) == (x >= 0 && std::uint32_t(x) / 8 < m[k].size()));
                    break;
                case 1: {
                    std::int32_t lo = std::min(x, y), hi = std::max(x, y);
                    if (lo >= 0 && b[k].holds(hi)) {
                        b[k].setSpan(std::uint32_t(lo), std::uint32_t(hi));
                        for (std::int32_t i = lo; i <= hi; ++i) set(m[k], std::uint32_t(i));
                    }
                    break;
                }
                case 2: {
                    b[k].orMerge(b[1 - k]);
                    if (m[1 - k].size() > m[k].size()) m[k].resize(m[1 - k].size(), 0);
                    for (std::size_t i = 0; i < m[1 - k].size(); ++i) m[k][i] |= m[1 - k][i];
                    break;
                }
                case 3: {
                    Builder c, u;
                    c.copyFrom(b[k]);
                    QV_FUZZ_CHECK(c.capacity == b[k].capacity && same(c, m[k]));
                    // the one-pass union leaves what a copy then an or-merge leave
                    c.orMerge(b[1 - k]);
                    u.assignUnion(b[k], b[1 - k]);
                    QV_FUZZ_CHECK(u.capacity == c.capacity && u.size == c.size &&
                                  (u.size == 0 || std::memcmp(u.data, c.data, u.size) == 0));
                    c.release();
                    u.release();
                    break;
                }
                case 4: {
                    std::uint32_t n = std::uint16_t(y) % 3000;
                    b[k].resize(n);
                    if (n > m[k].size()) m[k].resize(n, 0);
                    break;
                }
            }
            QV_FUZZ_CHECK(same(b[k], m[k]) && b[k].size <= b[k].capacity);
            if (b[k].holds(x)) QV_FUZZ_CHECK(b[k].testBit(std::uint32_t(x)) == bool(m[k][x >> 3] & (0x80 >> (x & 7))));
        }
        b[0].release();
        b[1].release();
    });
    return 0;
}
