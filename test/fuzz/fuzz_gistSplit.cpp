// The GiST picksplit on arbitrary keys, the penalty, and the consistent
// tests: every entry lands in exactly one group, each group's bounds cover
// its keys, and an inner key passes wherever one of its leaf keys does.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "fuzzSupport.h"
#include "qovellaPgGistConsistent.h"
#include "qovellaPgGistSplit.h"

namespace gr = qv::gistRange;
namespace pr = qv::packedRange;

namespace {
std::int64_t validKey(std::int32_t a, std::int32_t b) { return pr::pack(std::min(a, b), std::max(a, b)); }

bool covers(std::int64_t outer, std::int64_t inner) {
    return pr::lower(outer) <= pr::lower(inner) && pr::upper(inner) <= pr::upper(outer);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    qv::fuzz::Input in(data, size);
    std::uint8_t mode = in.take<std::uint8_t>();
    std::vector<std::int64_t> keys;
    while (in.left() >= 2 && keys.size() < 600) {
        if (mode & 1) {
            keys.push_back(in.take<std::int64_t>());  // anything, also lower > upper
        } else {
            std::int32_t a = in.take<std::int16_t>(), b = in.take<std::int16_t>();
            if (mode & 2) { a *= 32768; b *= 32768; }
            keys.push_back(validKey(a, b));
        }
    }
    bool valid = std::all_of(keys.begin(), keys.end(),
                             [](std::int64_t k) { return pr::lower(k) <= pr::upper(k); });
    std::uint16_t maxoff = static_cast<std::uint16_t>(keys.size());

    qv::fuzz::runGuarded([&] {
        std::vector<std::uint16_t> left(maxoff + 1), right(maxoff + 1);
        gr::SplitGroup l{left.data(), 0, 0}, r{right.data(), 0, 0};
        bool raised = qv::fuzz::raises([&] {
            gr::splitPackedRanges<qv::fuzz::contextAlloc, qv::fuzz::contextFree>(
                maxoff, [&](std::uint16_t off) { return keys.at(off - 1); }, l, r);
        });
        if (maxoff < 2) {
            QV_FUZZ_CHECK(raised);
            return;
        }
        if (valid) QV_FUZZ_CHECK(!raised);
        if (raised) return;
        QV_FUZZ_CHECK(l.count > 0 && r.count > 0 && l.count + r.count == maxoff);
        std::vector<int> seen(maxoff + 1, 0);
        for (int i = 0; i < l.count; ++i) {
            QV_FUZZ_CHECK(left[i] >= 1 && left[i] <= maxoff && ++seen[left[i]] == 1);
            if (valid) QV_FUZZ_CHECK(covers(l.bounds, keys[left[i] - 1]));
        }
        for (int i = 0; i < r.count; ++i) {
            QV_FUZZ_CHECK(right[i] >= 1 && right[i] <= maxoff && ++seen[right[i]] == 1);
            if (valid) QV_FUZZ_CHECK(covers(r.bounds, keys[right[i] - 1]));
        }
        if (!valid) return;

        // an inner key (a group's bounds) passes wherever a leaf key below it does
        for (std::size_t q = 0; q < keys.size() && q < 8; ++q) {
            std::int64_t query = keys[keys.size() - 1 - q];
            for (std::uint16_t s : {3, 13, 14, 15})
                for (int i = 0; i < l.count; ++i)
                    if (gr::keyMatchesPackedRange(s, keys[left[i] - 1], query, true))
                        QV_FUZZ_CHECK(gr::keyMatchesPackedRange(s, l.bounds, query, false));
            std::int32_t v = pr::lower(query);
            for (int i = 0; i < r.count; ++i)
                if (gr::keyHoldsValue(keys[right[i] - 1], v)) QV_FUZZ_CHECK(gr::keyHoldsValue(r.bounds, v));
        }
        // penalties of valid keys are finite and not negative
        for (std::size_t i = 0; i + 1 < keys.size() && i < 16; ++i) {
            float p = gr::computePenalty(keys[i], keys[i + 1]);
            QV_FUZZ_CHECK(p >= 0.0f && p == p);
        }
    });
    return 0;
}
