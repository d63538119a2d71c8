// The set-expression state: the worked example, its failures, and random
// expressions compared with a direct evaluation over point sets.
#include <random>
#include <set>
#include <vector>

#include "qovellaPgSetExpression.h"
#include "testSupport.h"

namespace {

using Expression = qv::pgRangeArray::SetExpression<qv::test::testMalloc, qv::test::testFree>;
using Points = std::set<int>;

std::uint16_t word(int op, int close, int open) {
    return static_cast<std::uint16_t>(op | close << 2 | open << 9);
}

void add(Expression& e, std::uint16_t w, std::vector<int> elements) {
    e.addValue(w, elements.data(), elements.size());
}

std::vector<int> rootElements(const Expression& e) {
    std::vector<int> out;
    for (const auto& r : e.root()) {
        out.push_back(r.lower);
        out.push_back(r.upper);
    }
    return out;
}

TEST(SetExpression, WorkedExample) {
    Expression e;
    add(e, word(1, 0, 0), {1, 10});
    add(e, word(3, 0, 1), {2, 8});
    add(e, word(2, 0, 0), {4, 20});
    add(e, word(1, 1, 0), {30, 30});
    e.closeAllGroups();
    EXPECT_EQ((std::vector<int>{1, 3, 9, 10, 30, 30}), rootElements(e));
}

TEST(SetExpression, Failures) {
    Expression e;
    EXPECT_RAISES(add(e, word(1, 1, 0), {1, 2}), "22015", "closeGroup",
                  "try to close root parenthesis group");
    EXPECT_RAISES(add(e, word(1, 0, 1), {1, 2, 3}), "42804", "addValue",
                  "array length should be even");
    Expression deep;
    add(deep, word(1, 0, 5), {1, 2});
    EXPECT_EQ(5, deep.depth);
    EXPECT_RAISES(add(deep, word(1, 0, 1), {1, 2}), "22023", "addValue",
                  "reach max parenthesis group depth");
    Expression zero;
    add(zero, word(0, 0, 1), {1, 2});
    EXPECT_RAISES(zero.closeAllGroups(), "22023", "addToCurrentGroup", "Unknown operation id 0");
}

// Random well-formed expressions over small sets, evaluated directly with a
// stack of point sets; checks that exchanging vector indices never loses or
// shares a set.  With singleRanges, every operand is one range in random
// order and most operations are unions: the rows that wait in the pending
// batch, settled into empty and non-empty groups alike.
void checkRandomExpressions(unsigned seed, bool singleRanges) {
    std::mt19937 rng(seed);
    auto below = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
    auto apply = [](int op, const Points& x, const Points& y) {
        Points out;
        for (int v = -20; v <= 60; ++v) {
            bool inX = x.count(v) != 0, inY = y.count(v) != 0;
            if (op == 1 ? (inX || inY) : op == 2 ? (inX && inY) : (inX && !inY)) out.insert(v);
        }
        return out;
    };
    for (int round = 0; round < 1500; ++round) {
        Expression e;
        std::vector<std::pair<int, Points>> stack = {{0, Points()}};
        int rows = 1 + below(singleRanges ? 40 : 12);
        for (int i = 0; i < rows; ++i) {
            int depth = static_cast<int>(stack.size()) - 1;
            int op = singleRanges && below(4) != 0 ? 1 : 1 + below(3);
            int close = below(depth + 1), open = below(6 - depth + close);
            if (singleRanges && below(3) != 0) close = open = 0;
            std::vector<int> elements;
            Points operand;
            for (int v = singleRanges ? -10 + below(50) : -10 + below(4); v <= 40;
                 v += singleRanges ? 100 : 2 + below(8)) {
                int u = v + below(3);
                elements.push_back(v);
                elements.push_back(u);
                for (int x = v; x <= u; ++x) operand.insert(x);
                v = u;
            }
            add(e, word(op, close, open), elements);
            for (int c = 0; c < close; ++c) {
                auto g = stack.back();
                stack.pop_back();
                stack.back().second = apply(g.first, stack.back().second, g.second);
            }
            for (int k = 1; k <= open; ++k) stack.push_back({k == 1 ? op : 1, Points()});
            stack.back().second = apply(open ? 1 : op, stack.back().second, operand);
        }
        e.closeAllGroups();
        while (stack.size() > 1) {
            auto g = stack.back();
            stack.pop_back();
            stack.back().second = apply(g.first, stack.back().second, g.second);
        }
        Points got;
        for (const auto& r : e.root())
            for (int x = r.lower; x <= r.upper; ++x) got.insert(x);
        ASSERT_EQ(stack[0].second, got) << "round " << round;
        ASSERT_TRUE(Expression::isCanonical(e.root().begin(), e.root().end())) << "round " << round;
    }
}

TEST(SetExpression, MatchesDirectEvaluation) {
    checkRandomExpressions(31337, false);
    checkRandomExpressions(4242, true);
}

}  // namespace
