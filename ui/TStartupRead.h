#pragma once
// The map named on the command line, read on a thread of its own while the
// application and its window are being built: the window's load then takes
// the elements, and their grids, instead of reading the file itself.
#include <filesystem>
#include <memory>
#include <string>

#include "model/MapFile.h"

class TStartupRead {
public:
    /// Starts reading path when it names a regular file of at least
    /// BackgroundWork::From bytes (a smaller one reads in less than it costs
    /// to wait for), and makes the map reader (SetMapFileReader) hand the
    /// elements read to the first load of that same file, unchanged since.
    /// Any other load reads as before.
    explicit TStartupRead(const std::string& path);
    /// Stops the read if it still runs and restores the reader it replaced.
    ~TStartupRead();
    TStartupRead(const TStartupRead&) = delete;
    TStartupRead& operator=(const TStartupRead&) = delete;

    /// Stops the read if no load took it yet, and frees what it read.
    void Drop();

    struct TState;

private:
    std::shared_ptr<TState> state_;
    TMapFileReader previous_;
};
