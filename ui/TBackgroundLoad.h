#pragma once
// Loading a large map on a worker thread behind a progress dialog: the window
// goes on ticking and painting while the file is read, and the user may stop
// the read, which leaves the map as it was.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "model/MapFile.h"
#include "ui/TBackgroundWork.h"

class QWidget;

/// What reads the file on the worker: ReadMapFile with its stop flag, or a
/// test's slow fake. It reads into a map of the worker's own.
using TStoppableRead =
    std::function<TMapFileStats(TMap& map, const std::string& path, const std::atomic<bool>& stop)>;

namespace BackgroundLoad {
/// Files from this size up are read on a worker; a smaller one takes less
/// than a tick to read. The one threshold of all background work.
using BackgroundWork::From;
/// How long a read runs before its progress dialog shows, in milliseconds.
using BackgroundWork::DialogDelay;
/// The worker's read; ReadMapFile when empty. Tests may change it.
inline TStoppableRead Read;
} // namespace BackgroundLoad

/// Reads path into map as ReadMapFile does, but on a worker thread into a map
/// of its own (RunInBackground); the elements then move into map. The progress
/// dialog names the file; its "Отмена" or Escape stops the read, raising
/// ELoadCancelled with map untouched. A damaged file leaves map as ReadMapFile
/// would.
TMapFileStats ReadInBackground(TMap& map, const std::string& path, QWidget* parent);

/// Keeps the window's loads going through ReadInBackground, for files of at
/// least BackgroundLoad::From bytes while window is visible, for its own lifetime.
class TBackgroundLoads {
public:
    explicit TBackgroundLoads(QWidget& window);
    ~TBackgroundLoads();
    TBackgroundLoads(const TBackgroundLoads&) = delete;
    TBackgroundLoads& operator=(const TBackgroundLoads&) = delete;

private:
    TMapFileReader previous_;
};
