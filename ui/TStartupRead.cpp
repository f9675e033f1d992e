#include "ui/TStartupRead.h"

#include <atomic>
#include <exception>
#include <future>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>

#include "model/TMap.h"
#include "platform/FileWriter.h"
#include "platform/SystemFiles.h"
#include "ui/TBackgroundWork.h"

namespace {

/// What tells a file apart from the one the read began with.
struct TFileMark {
    std::string Path;
    std::uintmax_t Size = 0;
    std::filesystem::file_time_type Written;
};

std::optional<TFileMark> MarkOf(const std::string& utf8)
{
    const std::filesystem::path path = PathOf(utf8);
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return std::nullopt;
    TFileMark mark{utf8, std::filesystem::file_size(path, error), {}};
    if (error) return std::nullopt;
    mark.Written = std::filesystem::last_write_time(path, error);
    if (error) return std::nullopt;
    return mark;
}

} // namespace

struct TStartupRead::TState {
    std::mutex Lock;
    std::optional<TFileMark> Mark;
    std::atomic<bool> Stop{false};
    /// The read: the map it filled, what it counted and what it raised.
    TMap Scratch;
    TMapFileStats Stats;
    std::exception_ptr Error;
    std::future<void> Done;
    /// The reader before this one, for every other load.
    TMapFileReader Previous;

    /// Waits for the read and hands its map to the caller, once, when path is
    /// the file it read and still as it was.
    bool TakeInto(TMap& map, const std::string& path, TMapFileStats& stats)
    {
        const std::lock_guard<std::mutex> hold(Lock);
        if (!Mark || !Done.valid()) return false;
        const std::optional<TFileMark> now = MarkOf(path);
        const bool same =
            now && SameFile(Mark->Path, path) && now->Size == Mark->Size && now->Written == Mark->Written;
        if (!same) return false;
        Done.get();
        Mark.reset();
        // A file that failed is read again where it is loaded, so that its
        // error names it as the load does and leaves the map as a read in place.
        if (Error) {
            Error = nullptr;
            Free();
            return false;
        }
        TakeLoadedMap(map, Scratch);
        stats = Stats;
        return true;
    }

    void Drop()
    {
        const std::lock_guard<std::mutex> hold(Lock);
        Stop = true;
        if (Done.valid()) Done.wait();
        Mark.reset();
        Error = nullptr;
        Free();
    }

    /// Gives back the memory of what was read (deleting keeps the arrays').
    void Free()
    {
        Scratch.ReleaseBorders();
        Scratch.ReleaseRails();
    }
};

TStartupRead::TStartupRead(const std::string& path) : state_(std::make_shared<TState>())
{
    const std::optional<TFileMark> mark = MarkOf(path);
    if (mark && static_cast<std::int64_t>(mark->Size) >= BackgroundWork::From) {
        state_->Mark = mark;
        TState& state = *state_;
        state.Done = std::async(std::launch::async, [&state, path] {
            try {
                state.Stats = ReadMapFile(state.Scratch, path, state.Stop);
                if (!state.Stop) state.Scratch.PrepareIndex();
            } catch (...) {
                state.Error = std::current_exception();
            }
        });
    }
    previous_ = SetMapFileReader([state = state_](TMap& map, const std::string& file) {
        TMapFileStats stats;
        if (state->TakeInto(map, file, stats)) return stats;
        return state->Previous ? state->Previous(map, file) : ReadMapFile(map, file);
    });
    state_->Previous = previous_;
}

TStartupRead::~TStartupRead()
{
    Drop();
    SetMapFileReader(std::move(previous_));
}

void TStartupRead::Drop() { state_->Drop(); }
