#include "platform/TemporaryFile.h"

#include <cstdint>
#include <system_error>

#include "platform/SystemFiles.h"

namespace fs = std::filesystem;

namespace {

/// The part of TemporaryName that depends on the file only, "." + hash + ".".
std::string PrefixFor(const fs::path& fileName)
{
    // FNV-1a over the UTF-8 bytes: the same name gives the same prefix on
    // every run, which is what finds a killed run's file again.
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    for (const char8_t c : fileName.u8string()) {
        hash ^= static_cast<std::uint8_t>(c);
        hash *= 0x100000001b3ULL;
    }
    static const char digits[] = "0123456789abcdef";
    std::string prefix(".");
    for (int shift = 60; shift >= 0; shift -= 4) prefix += digits[(hash >> shift) & 0xF];
    return prefix + ".";
}

/// The process id in a name made by TemporaryName with prefix, or -1 when
/// the name is not one of them.
long long ProcessOf(const std::string& name, const std::string& prefix)
{
    static const std::string suffix = ".tmp";
    if (name.size() <= prefix.size() + suffix.size() || name.compare(0, prefix.size(), prefix) != 0 ||
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
        return -1;
    const std::string middle = name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
    const std::size_t dash = middle.find('-');
    if (dash == std::string::npos || dash == 0 || dash > 18 || dash + 1 == middle.size()) return -1;
    if (middle.find_first_not_of("0123456789") != dash ||
        middle.find_first_not_of("0123456789", dash + 1) != std::string::npos)
        return -1;
    return std::stoll(middle.substr(0, dash));
}

} // namespace

std::string TemporaryName(const fs::path& fileName, long pid, unsigned serial)
{
    return PrefixFor(fileName) + std::to_string(pid) + "-" + std::to_string(serial) + ".tmp";
}

void RemoveStaleTemporaryFiles(const fs::path& target)
{
    const std::string prefix = PrefixFor(target.filename());
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::error_code error;
    fs::directory_iterator entries(folder, error);
    for (const fs::directory_iterator end; !error && entries != end; entries.increment(error)) {
        const fs::path& path = entries->path();
        const std::u8string utf8 = path.filename().u8string();
        const long long pid = ProcessOf(std::string(utf8.begin(), utf8.end()), prefix);
        if (pid < 0 || !ProcessGone(pid)) continue;
        std::error_code ignored;
        if (fs::is_regular_file(fs::symlink_status(path, ignored))) fs::remove(path, ignored);
    }
}
