#pragma once
// The folders that hold recovery copies: one per running editor under
// "<user's data folder>/kestedit/recovery", each held with a lock file, so that
// editors running at once never take each other's copies and a dead editor's
// folder is known by its stale lock.
#include <memory>
#include <string>
#include <vector>

class QLockFile;

class TRecoveryFolder {
public:
    /// "$XDG_DATA_HOME/kestedit/recovery" (by default ~/.local/share/...), as
    /// QStandardPaths finds the user's data folder; UTF-8.
    static std::string Root();

    /// Makes a new folder of this editor's own under root and locks it. A
    /// folder that cannot be made or locked raises EFileError naming it.
    explicit TRecoveryFolder(const std::string& root = Root());
    /// Unlocks the folder and leaves its copies where they are: for the next
    /// start to offer, as a killed editor would have left them.
    ~TRecoveryFolder();
    TRecoveryFolder(const TRecoveryFolder&) = delete;
    TRecoveryFolder& operator=(const TRecoveryFolder&) = delete;

    /// The folder, UTF-8.
    const std::string& Path() const { return path_; }
    /// Removes the folder with everything in it, then unlocks: a normal exit,
    /// or copies the user no longer wants. False, leaving what could not be
    /// removed, when the system refused.
    bool RemoveAll();

    /// The folders under root of editors that are no longer running (a stale
    /// lock, or none at all), each taken and locked for this editor, oldest
    /// name first. Folders of running editors are left alone, and so are
    /// folders taken by another editor in the meantime.
    static std::vector<std::unique_ptr<TRecoveryFolder>> TakeOrphans(const std::string& root = Root());

private:
    struct TTaken {};
    /// Holds path, already locked with lock.
    TRecoveryFolder(TTaken, std::string path, std::unique_ptr<QLockFile> lock);

    std::string path_;
    std::unique_ptr<QLockFile> lock_;
};
