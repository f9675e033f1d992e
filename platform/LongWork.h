#pragma once
// Work that may take longer than a tick of the window (writing a large map,
// drawing a picture of one): the layers below the window hand it here, and the
// window decides where it runs.
#include <cstdint>
#include <functional>
#include <string>

/// Runs work and returns once it has ended, passing on whatever it raised.
/// caption names the work for the user ("Сохранение: yard.KS"); bytes says
/// how much it handles (the size of the file it writes), so that small work
/// runs in place. work is never stopped part-way, and must only read what the
/// caller's thread may read meanwhile.
using TLongWorkRunner =
    std::function<void(const std::string& caption, std::int64_t bytes, const std::function<void()>& work)>;

/// Makes runner the one RunLongWork uses (running in place when empty);
/// returns the one before.
TLongWorkRunner SetLongWorkRunner(TLongWorkRunner runner);

/// Runs work through the installed runner, or in place when none is.
void RunLongWork(const std::string& caption, std::int64_t bytes, const std::function<void()>& work);

/// The last component of a path, as work captions name files.
std::string FileNameOfPath(const std::string& path);
