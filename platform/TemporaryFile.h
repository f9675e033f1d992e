#pragma once
// The temporary files that the file writer puts beside the file it replaces:
// names short enough for a folder that takes the longest file name, and the
// removal of those that a writer killed part-way left behind.
#include <filesystem>
#include <string>

/// The name of a temporary file for the file named fileName (a name, not a
/// path): "." + 16 hexadecimal digits of a hash of fileName + "." + pid + "-"
/// + serial + ".tmp", under 50 bytes however long fileName is. Hidden, so that
/// a folder's listing never shows it while it is written.
std::string TemporaryName(const std::filesystem::path& fileName, long pid, unsigned serial);

/// Removes from target's folder the temporary files for target (named by
/// TemporaryName) whose process no longer runs: what a write killed part-way
/// left. A running process's file, a file of any other name and anything
/// that is not a plain file stay; a folder that cannot be read or changed is
/// left as it is, silently.
void RemoveStaleTemporaryFiles(const std::filesystem::path& target);
