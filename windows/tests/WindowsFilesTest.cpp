// The Windows side of reading maps: wide-character names, paths with '\',
// and a file that another program holds open without sharing it.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "model/Errors.h"
#include "model/MapFile.h"
#include "model/MapFileIO.h"
#include "model/TMap.h"
#include "platform/SystemFiles.h"
#include "tests/support/TempFolder.h"

namespace fs = std::filesystem;

namespace {

std::string DataFile(const std::string& name) { return std::string(KEST_TEST_DATA) + "/" + name; }

std::string Backslashed(std::string path)
{
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

/// Copies a sample map into the folder under a UTF-8 name.
std::string CopySample(const TTempFolder& folder, const std::string& sample, const std::string& utf8Name)
{
    const fs::path target = folder.Path() / fs::path(std::u8string(utf8Name.begin(), utf8Name.end()));
    fs::copy_file(fs::path(DataFile(sample)), target, fs::copy_options::overwrite_existing);
    const std::u8string utf8 = target.u8string();
    return std::string(utf8.begin(), utf8.end());
}

std::string ReasonOf(const std::string& path)
{
    TMap map;
    try {
        ReadMapFile(map, path);
    } catch (const EFileError& error) {
        return error.what();
    }
    return "read without an error";
}

} // namespace

TEST(WindowsFiles, PathsWithBackslashesAndCyrillicNamesRead)
{
    TMap plain;
    ReadMapFile(plain, DataFile("ring.ks"));
    ASSERT_EQ(plain.RailCount(), 8);

    TMap backslashed;
    const std::string path = Backslashed(DataFile("ring.ks"));
    ASSERT_NE(path.find('\\'), std::string::npos);
    const TMapFileStats stats = ReadMapFile(backslashed, path);
    EXPECT_EQ(stats.RailsStored, 8);
    EXPECT_EQ(backslashed.StartRail, plain.StartRail);
    EXPECT_EQ(backslashed.FinishRail, plain.FinishRail);

    // The model's paths are UTF-8; the system's are UTF-16. A name outside the
    // ANSI code page only opens when the conversion goes through wide characters.
    const TTempFolder folder;
    const std::string cyrillic = CopySample(folder, "borders.ks", "Карта поля.ks");
    TMap map;
    EXPECT_EQ(ReadMapFile(map, cyrillic).BordersStored, 4);
    EXPECT_EQ(ReadMapFile(map, Backslashed(cyrillic)).BordersStored, 4);
    EXPECT_TRUE(MapFileExists(cyrillic));
    map.FileName = Backslashed(cyrillic);
    EXPECT_EQ(map.DisplayName(), "Карта поля");
}

TEST(WindowsFiles, FileHeldWithoutSharingIsAFileErrorNamingIt)
{
    const TTempFolder folder;
    const std::string path = CopySample(folder, "mixed.ks", "held.ks");
    const std::wstring wide = PathOf(path).wstring();
    const HANDLE held =
        CreateFileW(wide.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const std::string reason = ReasonOf(path);
    CloseHandle(held);
    EXPECT_EQ(reason.rfind(path + ": ", 0), 0u) << reason;
    EXPECT_GT(reason.size(), path.size() + 2) << "no reason given";

    // Once it is let go, the same file reads.
    TMap map;
    EXPECT_EQ(ReadMapFile(map, path).BordersStored, 2);
}

TEST(WindowsFiles, MissingFilesAndFoldersAreFileErrors)
{
    const TTempFolder folder;
    const std::string missing = folder.File("absent.ks");
    EXPECT_EQ(ReasonOf(missing).rfind(missing + ": ", 0), 0u);
    EXPECT_FALSE(MapFileExists(missing));
    const std::string dir = folder.File("");
    EXPECT_EQ(ReasonOf(dir).rfind(dir + ": ", 0), 0u);
}

TEST(WindowsFiles, SavingReplacesAFileWholeAndAHeldOneIsRefusedIntact)
{
    const TTempFolder folder;
    const std::string path = CopySample(folder, "mixed.ks", "Карта.KS");
    TMap map;
    map.AddRail(100, 100, 300, 100);
    // Written beside it and moved over it in one step; a backslashed name too.
    WriteMapFile(map, Backslashed(path));
    EXPECT_EQ(ReadBytes(path), MapToBytes(map));
    EXPECT_EQ(folder.Names().size(), 1u) << "a temporary file was left";

    const std::vector<std::uint8_t> before = ReadBytes(path);
    const std::wstring wide = PathOf(path).wstring();
    const HANDLE held =
        CreateFileW(wide.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    map.AddRail(1000, 1000, 1200, 1000);
    std::string reason;
    try {
        WriteMapFile(map, path);
    } catch (const EFileError& error) {
        reason = error.what();
    }
    CloseHandle(held);
    EXPECT_EQ(reason.rfind(path + ": ", 0), 0u) << reason;
    EXPECT_EQ(ReadBytes(path), before);
    EXPECT_EQ(folder.Names().size(), 1u) << "a temporary file was left";
}

TEST(WindowsFiles, AReadOnlyFileIsNeverReplaced)
{
    const TTempFolder folder;
    const std::string path = CopySample(folder, "mixed.ks", "kept.KS");
    const std::vector<std::uint8_t> before = ReadBytes(path);
    const std::wstring wide = PathOf(path).wstring();
    ASSERT_TRUE(SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_READONLY));
    TMap map;
    map.AddRail(100, 100, 300, 100);
    EXPECT_THROW(WriteMapFile(map, path), EFileError);
    SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(ReadBytes(path), before);
}
