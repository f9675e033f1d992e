#include "ui/TBackgroundLoad.h"

#include <QPointer>
#include <QWidget>
#include <exception>
#include <filesystem>

#include "model/TMap.h"
#include "platform/Errors.h"
#include "platform/SystemFiles.h"

TMapFileStats ReadInBackground(TMap& map, const std::string& path, QWidget* parent)
{
    const TStoppableRead read = BackgroundLoad::Read
                                    ? BackgroundLoad::Read
                                    : [](TMap& into, const std::string& file, const std::atomic<bool>& stop) {
                                          return ReadMapFile(into, file, stop);
                                      };
    TMap scratch;
    TMapFileStats stats;
    std::exception_ptr error;
    const bool finished = RunInBackground(
        QString::fromUtf8("Загрузка: ") + QString::fromStdString(FileNameOfPath(path)), true,
        [&](const std::atomic<bool>& stop) {
            // A damaged file's error comes after its elements are taken.
            try {
                stats = read(scratch, path, stop);
                // The grids too, so that the window draws the map at once.
                if (!stop) scratch.PrepareIndex();
            } catch (...) {
                error = std::current_exception();
            }
        },
        parent);
    if (!finished) throw ELoadCancelled();
    // What a damaged file left goes into the map too, as a load in place keeps it.
    TakeLoadedMap(map, scratch);
    if (error) std::rethrow_exception(error);
    return stats;
}

TBackgroundLoads::TBackgroundLoads(QWidget& window)
{
    // The reader may outlive the window when windows are not closed in the
    // order they were opened: a window gone reads in place.
    previous_ = SetMapFileReader([window = QPointer<QWidget>(&window)](TMap& map, const std::string& path) {
        std::error_code error;
        const auto size = std::filesystem::file_size(PathOf(path), error);
        // Before the window shows (the command line's map) nothing needs it to tick.
        if (error || !window || !window->isVisible() || static_cast<std::int64_t>(size) < BackgroundLoad::From)
            return ReadMapFile(map, path);
        return ReadInBackground(map, path, window);
    });
}

TBackgroundLoads::~TBackgroundLoads() { SetMapFileReader(std::move(previous_)); }
