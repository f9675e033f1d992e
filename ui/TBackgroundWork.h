#pragma once
// Long work on a worker thread behind a progress dialog: the window goes on
// ticking and painting while it runs, and takes no input meanwhile.
#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>

#include "platform/LongWork.h"

class QWidget;

namespace BackgroundWork {
/// Work on files from this size up runs on a worker; smaller work takes less
/// than a tick. Tests may change it.
inline std::int64_t From = std::int64_t{4} << 20;
/// How long work runs before its progress dialog shows, in milliseconds.
inline int DialogDelay = 300;
/// Runs the work of a save or an export on the worker; the work itself when
/// empty. Tests put a slow fake here.
inline std::function<void(const std::function<void()>& work)> Run;
} // namespace BackgroundWork

/// Runs work on a worker thread while this thread runs its event loop, and
/// returns once the worker has ended; whatever work raised is raised here.
/// After BackgroundWork::DialogDelay a modal progress dialog with label shows.
/// Until then, input to the windows is held off. A cancellable dialog offers
/// "Отмена", which like Escape sets work's stop flag, waits for the worker to
/// see it and returns false, dropping what work raised; any other dialog
/// ignores Escape and closing, so the work always runs to its end.
bool RunInBackground(const QString& label, bool cancellable, const std::function<void(const std::atomic<bool>& stop)>& work,
                     QWidget* parent);

/// Runs the long work of saves and exports (RunLongWork) through
/// RunInBackground, for work of at least BackgroundWork::From bytes while
/// window is visible, for its own lifetime.
class TBackgroundWorks {
public:
    /// settle runs before any work goes to the worker: what would change the
    /// maps on the coming ticks (a gesture under way) ends there.
    TBackgroundWorks(QWidget& window, std::function<void()> settle);
    ~TBackgroundWorks();
    TBackgroundWorks(const TBackgroundWorks&) = delete;
    TBackgroundWorks& operator=(const TBackgroundWorks&) = delete;

private:
    TLongWorkRunner previous_;
};
