// The index key of range-array columns on rows and queries of any form: a
// row the set test of a strategy accepts is passed by its leaf key, by the
// union of all leaf keys and by the key of its group in a page split (index
// scan = sequential scan); the split places every key once; any stored
// payload either loads or is refused, and keys survive their stored form.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "fuzzRanges.h"
#include "qovellaPgRangeKernels.h"
#include "qovellaPgRangeOverlap.h"
#include "qovellaPgSetKey.h"

namespace sk = qv::setKey;
namespace ra = qv::pgRangeArray;
using qv::fuzz::Ranges;

namespace {

// Canonical ranges (bit 0 of form) or any bounds in any order.
Ranges someRanges(qv::fuzz::Input& in, std::uint8_t form) {
    return form & 1 ? qv::fuzz::rawRanges(in, 6) : qv::fuzz::canonicalRanges(in, 40);
}

bool rowPasses(std::uint16_t s, const Ranges& row, const sk::Query& q, const Ranges& set) {
    const ra::Range<int>* r0 = row.data();
    const ra::Range<int>* r1 = r0 + row.size();
    const ra::Range<int>* q0 = set.data();
    const ra::Range<int>* q1 = q0 + set.size();
    switch (s) {
        case sk::kContainsValue: return ra::rangesContain(r0, row.size(), q.value);
        case sk::kOverlapsPacked: return ra::rangeOverlapsRanges(q.lo, q.hi, {r0, r1});
        case sk::kOverlapsSet: return ra::isOverlap<int>(r0, r1, q0, q1);
        case sk::kContainsSet: return ra::isStrictlyIncluded<int>(q0, q1, r0, r1);
        default: return ra::isStrictlyIncluded<int>(r0, r1, q0, q1);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    qv::fuzz::Input in(data, size);
    const std::uint8_t mode = in.take<std::uint8_t>();
    const std::size_t k = 1 + in.take<std::uint8_t>() % sk::kMaxRanges;

    // a stored payload of any bytes
    {
        std::uint8_t n = in.take<std::uint8_t>();
        std::vector<std::uint8_t> bytes(n);
        for (auto& b : bytes) b = in.take<std::uint8_t>();
        sk::Key key;
        if (sk::load(bytes.data(), bytes.size(), key)) QV_FUZZ_CHECK(sk::storedSize(key) == bytes.size());
    }

    const Ranges set = someRanges(in, mode >> 1);
    const sk::Query q{in.take<std::int32_t>(), in.take<std::int32_t>(), in.take<std::int32_t>(),
                      {set.data(), set.data() + set.size()},
                      sk::formOf(reinterpret_cast<const std::int32_t*>(set.data()), 2 * set.size())};
    std::vector<Ranges> rows;
    std::vector<sk::Key> keys, leaves;  // leaves: as the searches read them
    while (in.left() > 0 && rows.size() < 64) {
        rows.push_back(someRanges(in, in.take<std::uint8_t>() & mode));
        sk::Key key;
        sk::leafKey(rows.back().data(), rows.back().size(), k, key);
        QV_FUZZ_CHECK((key.signature ? key.count <= sk::kMaxRanges : key.count <= k) &&
                      (key.universal || sk::wellFormed(key.ranges, key.count)));
        std::vector<std::uint8_t> stored(sk::storedSize(key));
        sk::store(key, stored.data());
        sk::Key back;
        QV_FUZZ_CHECK(sk::load(stored.data(), stored.size(), back) && back.signature == key.signature &&
                      back.universal == key.universal &&
                      back.count == key.count &&
                      std::equal(key.ranges, key.ranges + key.count, back.ranges,
                                 [](const ra::Range<int>& a, const ra::Range<int>& b) {
                                     return a.lower == b.lower && a.upper == b.upper;
                                 }));
        keys.push_back(key);
        leaves.push_back(back);
    }
    if (keys.empty()) return 0;

    sk::Key all = keys[0];
    for (const sk::Key& key : keys) sk::unite(all, key, k, all);
    std::vector<std::uint32_t> order(keys.size());
    std::vector<sk::Key> scratch(keys.size());
    sk::Key left{}, right{};
    std::size_t cut = 0;
    if (keys.size() >= 2) {
        cut = sk::split(keys.data(), keys.size(), k, order.data(), scratch.data(), left, right);
        QV_FUZZ_CHECK(cut > 0 && cut < keys.size());
        std::vector<std::uint32_t> sorted(order);
        std::sort(sorted.begin(), sorted.end());
        for (std::size_t i = 0; i < sorted.size(); ++i) QV_FUZZ_CHECK(sorted[i] == i);
    }
    for (std::uint16_t s = sk::kContainsValue; s <= sk::kContainedInSet; ++s) {
        for (std::size_t i = 0; i < rows.size(); ++i) {
            bool passes = false;
            if (qv::fuzz::raises([&] { passes = rowPasses(s, rows[i], q, set); }) || !passes) continue;
            QV_FUZZ_CHECK(sk::consistent(s, keys[i], true, q));
            QV_FUZZ_CHECK(sk::consistent(s, leaves[i], true, q));
            QV_FUZZ_CHECK(sk::consistent(s, all, false, q));
            if (keys.size() >= 2) {
                const bool inLeft = std::find(order.begin(), order.begin() + cut, i) != order.begin() + cut;
                QV_FUZZ_CHECK(sk::consistent(s, inLeft ? left : right, false, q));
            }
        }
    }
    return 0;
}
