// qv::pg::tVector driven by a stream of operations and compared with a
// plain model: contents, size and the capacity-doubling rule.
#include <cstdint>
#include <vector>

#include "fuzzSupport.h"
#include "qovellaPgVector.h"

namespace {
using Vec = qv::pg::tVector<std::int32_t, qv::fuzz::contextAlloc, qv::fuzz::contextFree>;
using qv::pg::tSize;

// Growth to `needed` from `before` doubles until it fits, and no further.
void checkGrowth(tSize before, tSize after, tSize needed) {
    if (needed <= before) {
        QV_FUZZ_CHECK(after == before);
        return;
    }
    tSize c = before;
    while (c < needed) c *= 2;
    QV_FUZZ_CHECK(after == c);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    qv::fuzz::Input in(data, size);
    qv::fuzz::runGuarded([&] {
        tSize initial = in.take<std::uint8_t>() % 17;
        Vec v(initial);
        Vec other;
        QV_FUZZ_CHECK(v.capacity == (initial < 1 ? 1 : initial) && v.size == 0);
        std::vector<std::int32_t> model, otherModel;
        while (in.left()) {
            std::uint8_t op = in.take<std::uint8_t>();
            std::int32_t x = in.take<std::int16_t>();
            tSize before = v.capacity;
            switch (op % 6) {
                case 0:
                case 1:
                    v.push_back(x);
                    model.push_back(x);
                    checkGrowth(before, v.capacity, model.size());
                    break;
                case 2: {
                    tSize n = std::uint16_t(x) % 700, old = v.size;
                    v.resize(n);
                    checkGrowth(before, v.capacity, n);
                    for (tSize i = old; i < n; ++i) v[i] = std::int32_t(i);
                    model.resize(n);
                    for (tSize i = old; i < n; ++i) model[i] = std::int32_t(i);
                    break;
                }
                case 3: {
                    tSize n = std::uint16_t(x) % 900;
                    v.reserve(n);
                    QV_FUZZ_CHECK(v.capacity == (n > before ? n : before));
                    break;
                }
                case 4:
                    v.clear();
                    model.clear();
                    QV_FUZZ_CHECK(v.capacity == before);
                    break;
                case 5:
                    v.swap(other);
                    model.swap(otherModel);
                    break;
            }
            QV_FUZZ_CHECK(v.size == model.size() && v.size <= v.capacity);
            for (tSize i = 0; i < v.size; ++i) QV_FUZZ_CHECK(v[i] == model[i]);
        }
        QV_FUZZ_CHECK(other.size == otherModel.size());
        for (tSize i = 0; i < other.size; ++i) QV_FUZZ_CHECK(other[i] == otherModel[i]);
        v.release();
        QV_FUZZ_CHECK(v.capacity == 0 && v.size == 0 && v.data == nullptr);
    });
    return 0;
}
