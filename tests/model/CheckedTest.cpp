// The two ways of checked arithmetic agree: the compiler built-ins used here
// and the 64-bit one that compilers without them use, on every pair of edge
// values, both in the result and in raising "Integer overflow".
#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <optional>
#include <vector>

#include "model/Checked.h"

namespace {

using TOperation = std::function<std::int32_t(std::int32_t, std::int32_t)>;

std::optional<std::int32_t> Outcome(const TOperation& operation, std::int32_t a, std::int32_t b)
{
    try {
        return operation(a, b);
    } catch (const EIntOverflow& error) {
        EXPECT_STREQ(error.what(), "Integer overflow");
        return std::nullopt;
    }
}

} // namespace

TEST(CheckedArithmetic, BuiltInsAndWideComputationAgreeAtTheEdges)
{
    const std::vector<std::int32_t> values = {INT32_MIN, INT32_MIN + 1, -65536, -46341, -46340, -10001, -1, 0,
                                              1,         2,             10000,  46340,  46341,  65535,  INT32_MAX - 1,
                                              INT32_MAX};
    const struct {
        const char* name;
        TOperation checked;
        TOperation wide;
    } operations[] = {
        {"Add", Checked::Add, Checked::Wide::Add},
        {"Sub", Checked::Sub, Checked::Wide::Sub},
        {"Mul", Checked::Mul, Checked::Wide::Mul},
    };
    int overflows = 0;
    for (const auto& operation : operations)
        for (const std::int32_t a : values)
            for (const std::int32_t b : values) {
                const auto expected = Outcome(operation.checked, a, b);
                EXPECT_EQ(expected, Outcome(operation.wide, a, b)) << operation.name << "(" << a << ", " << b << ")";
                if (!expected) ++overflows;
            }
    EXPECT_GT(overflows, 0);
    EXPECT_THROW(Checked::Wide::Mul(46341, 46341), EIntOverflow);
    EXPECT_EQ(Checked::Wide::Mul(46340, -46340), -2147395600);
}
