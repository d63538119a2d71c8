// The set-expression aggregate's state: rows of operation words and operands
// folded into the group stack, compared with a plain evaluation of the
// same expression on canonical operands.
#include <cstdint>
#include <vector>

#include "fuzzRanges.h"
#include "qovellaPgSetExpression.h"

namespace {
using namespace qv::fuzz;
using Expression = qv::pgRangeArray::SetExpression<contextAlloc, contextFree>;

struct Model {
    struct Group { int operation; Ranges set; };
    std::vector<Group> groups{Group{0, Ranges()}};
    bool failed = false;

    void apply(int op, const Ranges& operand) {
        Ranges& cur = groups.back().set;
        if (op == 1) {
            Ranges all(cur);
            all.insert(all.end(), operand.begin(), operand.end());
            cur = normalize(all);
        } else if (op == 2) {
            cur = intersection(cur, operand);
        } else if (op == 3) {
            cur = intersection(cur, complement(operand));
        } else {
            failed = true;
        }
    }
    void close() {
        if (groups.size() == 1) { failed = true; return; }
        Group g = groups.back();
        groups.pop_back();
        apply(g.operation, g.set);
    }
    void add(std::uint16_t word, const Ranges& operand) {
        int op = word & 3, closeCount = (word >> 2) & 0x7f, openCount = (word >> 9) & 0x7f;
        for (int i = 0; i < closeCount && !failed; ++i) close();
        for (int i = 0; i < openCount && !failed; ++i) {
            if (groups.size() == 6) { failed = true; return; }
            groups.push_back(Group{i == 0 ? op : 1, Ranges()});
        }
        if (!failed) apply(openCount ? 1 : op, operand);
    }
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input in(data, size);
    runGuarded([&] {
        Expression x;
        Model model;
        bool canonical = true, raised = false;
        while (in.left() && !raised) {
            std::uint8_t shape = in.take<std::uint8_t>();
            // small close and open counts most of the time
            std::uint16_t word = std::uint16_t((shape & 3) | ((shape >> 2 & 1) << 2) |
                                               ((shape >> 3 & 3) << 9));
            if ((shape & 0xe0) == 0xe0) word = in.take<std::uint16_t>();
            Ranges operand = (shape & 0x20) && (shape & 0xc0) != 0xc0 ? rawRanges(in, 6) : canonicalRanges(in, 12);
            std::vector<std::int32_t> elements;
            for (auto& r : operand) {
                elements.push_back(r.lower);
                elements.push_back(r.upper);
            }
            if (!isCanonical(operand)) canonical = false;
            std::int32_t* exact = new std::int32_t[elements.size() + 1];
            std::copy(elements.begin(), elements.end(), exact);
            raised = raises([&] { x.addValue(word, exact, elements.size()); });
            delete[] exact;
            model.add(word, operand);
            if (canonical) QV_FUZZ_CHECK(raised == model.failed);
        }
        if (!raised) {
            raised = raises([&] { x.closeAllGroups(); });
            while (!model.failed && model.groups.size() > 1) model.close();
            if (canonical) {
                QV_FUZZ_CHECK(raised == model.failed);
                if (!raised) QV_FUZZ_CHECK(sameRanges(x.root(), model.groups[0].set));
            }
        }
        x.release();
    });
    return 0;
}
