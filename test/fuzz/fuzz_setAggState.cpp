// The general set aggregate's state: its serialised-state reader against the
// bytes it was given, and batched insertion and merging of the ranges those
// bytes spell against a plain sort-and-join.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzzSupport.h"
#include "qovellaPgSetAggState.h"

namespace {

using qv::pgRangeArray::Range;
using State = qv::setAgg::Int4ToSetOpDataSet<qv::fuzz::contextAlloc, qv::fuzz::contextFree>;
typedef std::vector<std::pair<std::int64_t, std::int64_t>> Plain;

// The canonical form of rows (lower > upper skipped), in 64-bit arithmetic.
Plain canonical(Plain rows) {
    rows.erase(std::remove_if(rows.begin(), rows.end(),
                              [](const std::pair<std::int64_t, std::int64_t>& r) {
                                  return r.first > r.second;
                              }),
               rows.end());
    std::sort(rows.begin(), rows.end());
    Plain out;
    for (const auto& r : rows) {
        if (!out.empty() && r.first <= out.back().second + 1)
            out.back().second = std::max(out.back().second, r.second);
        else
            out.push_back(r);
    }
    return out;
}

bool sameSet(const State& s, const Plain& expected) {
    if (s.ranges.size != expected.size()) return false;
    for (std::size_t i = 0; i < expected.size(); ++i)
        if (s.ranges[i].lower != expected[i].first || s.ranges[i].upper != expected[i].second)
            return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // An exactly sized heap copy, so that a read past the state is caught.
    unsigned char* bytes = new unsigned char[size ? size : 1];
    if (size) std::memcpy(bytes, data, size);

    bool raised = qv::fuzz::runGuarded([&] {
        State s(nullptr, 1);
        s.fromBytea(bytes, size);
        QV_FUZZ_CHECK(size >= 2 && (size - 2) % 8 == 0);
        QV_FUZZ_CHECK(s.inputKind == static_cast<signed char>(bytes[0]));
        QV_FUZZ_CHECK(s.outputKind == static_cast<signed char>(bytes[1]));
        QV_FUZZ_CHECK(s.ranges.size == (size - 2) / 8);
        if (s.ranges.size) QV_FUZZ_CHECK(std::memcmp(s.ranges.begin(), bytes + 2, size - 2) == 0);

        // The ranges as rows, four times over at small offsets, so that
        // batches are merged midway.
        State rows(nullptr, 1);
        rows.inputKind = 2;
        rows.outputKind = 4;
        Plain plain;
        for (int shift = 0; shift < 4; ++shift) {
            for (const Range<int>& r : s.ranges) {
                std::int64_t lo = std::int64_t(r.lower) + 7 * shift, hi = std::int64_t(r.upper) + 7 * shift;
                if (hi > INT32_MAX || lo > INT32_MAX) continue;
                rows.addRange(static_cast<int>(lo), static_cast<int>(hi));
                plain.emplace_back(lo, hi);
            }
        }
        Plain expected = canonical(plain);
        rows.settle();
        QV_FUZZ_CHECK(sameSet(rows, expected));

        // Merging a state with itself and with one without rows changes nothing.
        State merged(nullptr, 1024), fresh(nullptr, 1);
        merged.addOtherCtx(fresh);
        merged.addOtherCtx(rows);
        merged.addOtherCtx(fresh);
        merged.addOtherCtx(rows);
        QV_FUZZ_CHECK(merged.inputKind == 2 && sameSet(merged, expected));
        State pair(nullptr, 1024);
        pair.combine(&merged, &rows);
        QV_FUZZ_CHECK(pair.inputKind == 2 && sameSet(pair, expected));

        // Its serialised form reads back as the same state.
        std::vector<unsigned char> out(merged.serialSize());
        merged.serializeTo(out.data());
        State back(nullptr, 1);
        back.fromBytea(out.data(), out.size());
        QV_FUZZ_CHECK(back.inputKind == 2 && back.outputKind == 4 && sameSet(back, expected));

        // Whatever the decoded ranges hold, merging them stays in bounds.
        State any(nullptr, 1024);
        any.addOtherCtx(s);
        any.settle();
    });
    QV_FUZZ_CHECK(raised == (size < 2 || (size - 2) % 8 != 0));
    delete[] bytes;
    return 0;
}
