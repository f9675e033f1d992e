#pragma once
// A fresh folder for one test's files, removed with everything in it afterwards,
// and reading and writing files byte by byte.
#include <unistd.h>

#include <algorithm>
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
    std::string File(const std::string& name) const
    {
        // Through UTF-8 both ways, so that Cyrillic names survive on Windows too.
        const std::u8string path = (path_ / std::filesystem::path(std::u8string(name.begin(), name.end()))).u8string();
        return std::string(path.begin(), path.end());
    }
    const std::filesystem::path& Path() const { return path_; }
    /// Writes bytes to name in the folder and returns the file's path.
    std::string Write(const std::string& name, const std::vector<std::uint8_t>& bytes) const;
    /// Names of everything in the folder, sorted.
    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(path_))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::filesystem::path path_;
};

/// A UTF-8 path as the file system takes it (Cyrillic names on Windows too).
inline std::filesystem::path Utf8Path(const std::string& path)
{
    return std::filesystem::path(std::u8string(path.begin(), path.end()));
}

inline void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream out(Utf8Path(path), std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<std::uint8_t> ReadBytes(const std::string& path)
{
    std::ifstream in(Utf8Path(path), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::string TTempFolder::Write(const std::string& name, const std::vector<std::uint8_t>& bytes) const
{
    const std::string path = File(name);
    WriteBytes(path, bytes);
    return path;
}
