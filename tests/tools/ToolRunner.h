#pragma once
// Runs kestmap's code in-process as its main does, or once the built program
// itself, and builds sample map files byte by byte.
#include <QJsonObject>
#include <QString>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

struct TToolRun {
    /// The exit status; 128 + the signal when killed, -1 when it had to be stopped.
    int Status = -1;
    std::string Out;
    std::string Err;
};

/// Runs kestmap's code with the arguments (raw bytes, as main passes them),
/// collecting what it writes to standard output and standard error.
TToolRun RunKestMap(const std::vector<std::string>& args);
/// Runs the built kestmap program with the arguments (no shell) and with
/// DISPLAY, WAYLAND_DISPLAY and QT_QPA_PLATFORM removed from its environment.
TToolRun RunKestMapProgram(const std::vector<std::string>& args);

/// The lines of the text, without their newlines.
std::vector<std::string> Lines(const std::string& text);
/// One line of JSON as an object; a line that does not parse fails the test.
QJsonObject JsonLine(const std::string& line);
inline std::string Utf8(const QString& text) { return text.toUtf8().toStdString(); }

/// A map file's bytes, written record by record as the format lays them out.
class TMapBytes {
public:
    TMapBytes& Border(int x1, int y1, int x2, int y2, std::uint32_t color = 0xFFFFFF, int kind = 0);
    TMapBytes& Rail(int x1, int y1, int x2, int y2);
    TMapBytes& Start(int index);
    TMapBytes& Finish(int index);
    /// The file: counts, records, start, finish.
    std::vector<std::uint8_t> Bytes() const;

private:
    std::vector<std::uint8_t> borders_;
    std::vector<std::uint8_t> rails_;
    std::int32_t borderCount_ = 0;
    std::int32_t railCount_ = 0;
    std::int32_t start_ = -1;
    std::int32_t finish_ = -1;
};

/// The closed ring of six rails through (100, 0), (200, 0), (250, 87),
/// (200, 174), (100, 174), (50, 87) with start 0 and finish 3, and two borders.
TMapBytes RingMap();

/// A fresh folder for one test, removed when the object goes.
class TTempFolder {
public:
    TTempFolder();
    ~TTempFolder();
    TTempFolder(const TTempFolder&) = delete;
    TTempFolder& operator=(const TTempFolder&) = delete;

    std::string Path(const std::string& name) const { return (path_ / name).string(); }
    /// Writes the bytes to name in the folder and returns the file's path.
    std::string Write(const std::string& name, const std::vector<std::uint8_t>& bytes) const;

private:
    std::filesystem::path path_;
};
