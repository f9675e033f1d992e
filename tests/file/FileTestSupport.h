#pragma once
// Helpers shared by the map file tests: a scratch folder, byte access to
// files, and the sample files of tests/data.
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "model/TMap.h"

namespace filetest {

using Bytes = std::vector<std::uint8_t>;

/// A fresh folder under the system's temp folder, removed with everything in it.
class TScratch {
public:
    TScratch()
    {
        static int counter = 0;
        Dir = std::filesystem::temp_directory_path() /
              ("kest-file-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        std::filesystem::remove_all(Dir);
        std::filesystem::create_directories(Dir);
    }
    ~TScratch()
    {
        std::error_code ignored;
        std::filesystem::remove_all(Dir, ignored);
    }
    TScratch(const TScratch&) = delete;
    TScratch& operator=(const TScratch&) = delete;

    /// The UTF-8 path of name inside the folder.
    std::string Path(const std::string& name) const { return (Dir / name).string(); }
    /// Names of everything in the folder, sorted.
    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(Dir))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    std::filesystem::path Dir;
};

inline Bytes ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::string& path, const Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline std::string DataPath(const std::string& name) { return std::string(KEST_TEST_DATA) + "/" + name; }

/// Every field the file holds, element by element.
inline void ExpectSameFileContent(const TMap& expected, const TMap& actual)
{
    ASSERT_EQ(expected.BorderCount(), actual.BorderCount());
    ASSERT_EQ(expected.RailCount(), actual.RailCount());
    for (std::size_t i = 0; i < expected.Borders.size(); ++i) {
        const TBorder& e = expected.Borders[i];
        const TBorder& a = actual.Borders[i];
        EXPECT_EQ(std::vector<std::int64_t>({e.X1, e.Y1, e.X2, e.Y2, e.Color, e.Kind}),
                  std::vector<std::int64_t>({a.X1, a.Y1, a.X2, a.Y2, a.Color, a.Kind}))
            << "border " << i;
    }
    for (std::size_t i = 0; i < expected.Rails.size(); ++i) {
        const TRail& e = expected.Rails[i];
        const TRail& a = actual.Rails[i];
        EXPECT_EQ(std::vector<std::int32_t>({e.X1, e.Y1, e.X2, e.Y2}),
                  std::vector<std::int32_t>({a.X1, a.Y1, a.X2, a.Y2}))
            << "rail " << i;
    }
    EXPECT_EQ(expected.StartRail, actual.StartRail);
    EXPECT_EQ(expected.FinishRail, actual.FinishRail);
}

} // namespace filetest
