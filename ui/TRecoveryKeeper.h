#pragma once
// Keeps the running editor's recovery copies: takes them on the window thread
// when the policy says so, writes and removes them on a worker thread of its
// own, and at start offers back the copies that dead editors left.
#include <QObject>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "workspace/TRecoveryPolicy.h"

class TMap;
class TMapList;
class TRecoveryFolder;

/// Says, on the window thread, why copies cannot be kept.
using TRecoveryFailure = std::function<void(const std::string& reason)>;

class TRecoveryKeeper {
public:
    /// Copies go to a new folder of this editor's own under root. The first
    /// failure to make it or to write a copy is passed to sayFailure, once,
    /// from the window thread's event loop; editing goes on without copies.
    TRecoveryKeeper(std::string root, TRecoveryClock clock, TRecoveryFailure sayFailure);
    /// Finishes the writes under way and leaves every copy where it is, as an
    /// editor that was killed would.
    ~TRecoveryKeeper();
    TRecoveryKeeper(const TRecoveryKeeper&) = delete;
    TRecoveryKeeper& operator=(const TRecoveryKeeper&) = delete;

    /// Takes the folders of editors that no longer run and, when they hold
    /// copies, asks "Восстановление" through the message service. On "Да"
    /// every readable copy comes back as a map, in the folders' order, and
    /// becomes this editor's copy; damaged ones stay where they are. On "Нет"
    /// every copy is deleted; on "Отмена" nothing changes. Call it once, before
    /// this editor's own folder is made.
    std::vector<std::unique_ptr<TMap>> OfferOrphans();
    /// Makes this editor's folder, after OfferOrphans; the maps it gave back
    /// are adopted: each copy moves in under the map's own key, so that the
    /// next change replaces it and a save removes it.
    void Start(const std::vector<const TMap*>& recovered);

    /// Looks at the open maps, as a timer does every second: takes the copies
    /// that are due and queues their writing, queues the removals.
    void Tick(const TMapList& list);
    /// A normal exit: waits for the queued work, then removes the folder with
    /// every copy in it.
    void Exit();
    /// Waits until every queued write and removal has been done.
    void Finish();

    /// This editor's folder, or empty when it could not be made.
    std::string Folder() const;

private:
    using TJob = std::function<void()>;
    void Queue(TJob job);
    void Work();
    /// Passes reason to sayFailure on the window thread, the first time only.
    void Fail(const std::string& reason);
    /// Moves the copy key from folder into this editor's folder as newKey.
    bool MoveIn(const std::string& folder, const std::string& key, const std::string& newKey) const;

    std::string root_;
    TRecoveryPolicy policy_;
    TRecoveryFailure sayFailure_;
    std::unique_ptr<TRecoveryFolder> folder_;
    /// The copies given back at start: where each one was, by its map.
    struct TGivenBack {
        const TMap* Map;
        std::string Folder;
        std::string Key;
    };
    std::vector<TGivenBack> givenBack_;
    std::vector<std::unique_ptr<TRecoveryFolder>> orphans_;
    std::atomic<bool> failed_{false};
    /// Lives on the window thread: failures reach sayFailure through its queue.
    std::unique_ptr<QObject> windowThread_;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<TJob> jobs_;
    bool busy_ = false;
    bool stopping_ = false;
    std::thread worker_;
};
