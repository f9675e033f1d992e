#pragma once
// A fresh folder for one test's files, removed with everything in it afterwards,
// and the writing of small map files byte by byte.
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

class TTempFolder {
public:
    TTempFolder()
    {
        static std::atomic<int> counter{0};
        path_ = std::filesystem::temp_directory_path() /
                ("kest-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~TTempFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TTempFolder(const TTempFolder&) = delete;
    TTempFolder& operator=(const TTempFolder&) = delete;

    /// The full path of name inside the folder (UTF-8).
    std::string File(const std::string& name) const { return (path_ / name).string(); }
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

inline void PutInt32(std::vector<std::uint8_t>& bytes, std::int32_t value)
{
    const auto u = static_cast<std::uint32_t>(value);
    for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<std::uint8_t>(u >> shift));
}

inline void PutInt16(std::vector<std::uint8_t>& bytes, std::int32_t value)
{
    bytes.push_back(static_cast<std::uint8_t>(value));
    bytes.push_back(static_cast<std::uint8_t>(value >> 8));
}

/// A rail as stored: x1, y1, x2, y2.
struct TStoredRail {
    std::int32_t X1, Y1, X2, Y2;
};

/// The bytes of a map file holding no borders and these rails.
inline std::vector<std::uint8_t> RailFileBytes(const std::vector<TStoredRail>& rails, std::int32_t start = -1,
                                               std::int32_t finish = -1)
{
    std::vector<std::uint8_t> bytes;
    PutInt32(bytes, 0);
    PutInt32(bytes, static_cast<std::int32_t>(rails.size()));
    for (const TStoredRail& r : rails) {
        PutInt16(bytes, r.X1);
        PutInt16(bytes, r.Y1);
        PutInt16(bytes, r.X2);
        PutInt16(bytes, r.Y2);
    }
    PutInt32(bytes, start);
    PutInt32(bytes, finish);
    return bytes;
}

inline void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<std::uint8_t> ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
