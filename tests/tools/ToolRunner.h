#pragma once
// Runs kestmap's code in-process as its main does, or once the built program
// itself, and builds sample map files byte by byte.
#include <QJsonObject>
#include <QString>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/MapBytes.h"
#include "tests/support/TempFolder.h"

struct TToolRun {
    /// The exit status; 128 + the signal when killed, -1 when it had to be stopped.
    int Status = -1;
    std::string Out;
    std::string Err;
    /// The built program's peak resident memory in KiB (0 in-process).
    std::int64_t PeakKiB = 0;
};

/// Where the built program's standard output goes and what limits it meets.
struct TProgramRun {
    /// A file to write standard output to (/dev/full, /dev/null); empty for
    /// a scratch file whose bytes come back in Out.
    std::string StdoutPath;
    /// Standard output closed instead.
    bool NoStdout = false;
    /// The largest file it may write, in bytes, with SIGXFSZ ignored so that
    /// a write past it fails with "File too large"; -1 for no limit.
    std::int64_t FileSizeLimit = -1;
};

/// Runs kestmap's code with the arguments (raw bytes, as main passes them),
/// collecting what it writes to standard output and standard error.
TToolRun RunKestMap(const std::vector<std::string>& args);
/// Runs the built kestmap program with the arguments (no shell) and with
/// DISPLAY, WAYLAND_DISPLAY and QT_QPA_PLATFORM removed from its environment.
TToolRun RunKestMapProgram(const std::vector<std::string>& args, const TProgramRun& how = {});

/// The lines of the text, without their newlines.
std::vector<std::string> Lines(const std::string& text);
/// One line of JSON as an object; a line that does not parse fails the test.
QJsonObject JsonLine(const std::string& line);
inline std::string Utf8(const QString& text) { return text.toUtf8().toStdString(); }


