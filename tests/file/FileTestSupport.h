#pragma once
// Helpers shared by the map file tests: byte access to files and the sample
// files of tests/data.
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "model/TMap.h"
#include "tests/support/TempFolder.h"

namespace filetest {

using Bytes = std::vector<std::uint8_t>;


using ::ReadBytes;
using ::WriteBytes;

inline std::string DataPath(const std::string& name) { return std::string(KEST_TEST_DATA) + "/" + name; }

/// Every field the file holds, element by element.
inline void ExpectSameFileContent(const TMap& expected, const TMap& actual)
{
    ASSERT_EQ(expected.BorderCount(), actual.BorderCount());
    ASSERT_EQ(expected.RailCount(), actual.RailCount());
    for (std::size_t i = 0; i < expected.Borders().size(); ++i) {
        const TBorder& e = expected.Borders()[i];
        const TBorder& a = actual.Borders()[i];
        EXPECT_EQ(std::vector<std::int64_t>({e.X1, e.Y1, e.X2, e.Y2, e.Color, e.Kind}),
                  std::vector<std::int64_t>({a.X1, a.Y1, a.X2, a.Y2, a.Color, a.Kind}))
            << "border " << i;
    }
    for (std::size_t i = 0; i < expected.Rails().size(); ++i) {
        const TRail& e = expected.Rails()[i];
        const TRail& a = actual.Rails()[i];
        EXPECT_EQ(std::vector<std::int32_t>({e.X1, e.Y1, e.X2, e.Y2}),
                  std::vector<std::int32_t>({a.X1, a.Y1, a.X2, a.Y2}))
            << "rail " << i;
    }
    EXPECT_EQ(expected.StartRail, actual.StartRail);
    EXPECT_EQ(expected.FinishRail, actual.FinishRail);
}

} // namespace filetest
