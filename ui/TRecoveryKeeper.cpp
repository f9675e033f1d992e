#include "ui/TRecoveryKeeper.h"

#include <QDateTime>
#include <QMetaObject>
#include <exception>
#include <filesystem>
#include <system_error>

#include "model/TMap.h"
#include "platform/Dialogs.h"
#include "platform/qt/QtRecoveryFolder.h"
#include "workspace/TMapList.h"
#include "workspace/TRecoveryCopy.h"

namespace {

namespace fs = std::filesystem;

fs::path PathOf(const std::string& utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }

std::string ShownTime(std::int64_t time)
{
    return QDateTime::fromSecsSinceEpoch(time).toString(QStringLiteral("dd.MM.yyyy HH:mm:ss")).toStdString();
}

/// True when folder holds nothing but its lock.
bool HoldsNoCopy(const std::string& folder)
{
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(PathOf(folder), error))
        if (entry.path().filename() != ".lock") return false;
    return !error;
}

} // namespace

TRecoveryKeeper::TRecoveryKeeper(std::string root, TRecoveryClock clock, TRecoveryFailure sayFailure)
    : root_(std::move(root)), policy_(std::move(clock)), sayFailure_(std::move(sayFailure)),
      windowThread_(std::make_unique<QObject>())
{
    worker_ = std::thread([this] { Work(); });
}

TRecoveryKeeper::~TRecoveryKeeper()
{
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    worker_.join();
}

std::vector<std::unique_ptr<TMap>> TRecoveryKeeper::OfferOrphans()
{
    std::vector<std::unique_ptr<TMap>> maps;
    std::vector<TRecoveredCopy> copies;
    std::vector<std::string> folders;
    try {
        for (auto& orphan : TRecoveryFolder::TakeOrphans(root_)) {
            std::vector<TRecoveredCopy> found = ReadRecoveryCopies(orphan->Path());
            // An editor that ended with nothing unsaved, or died before its first copy.
            if (found.empty() && HoldsNoCopy(orphan->Path())) {
                orphan->RemoveAll();
                continue;
            }
            for (TRecoveredCopy& copy : found) {
                copies.push_back(std::move(copy));
                folders.push_back(orphan->Path());
            }
            orphans_.push_back(std::move(orphan));
        }
    } catch (const std::exception& error) {
        Fail(error.what());
    }
    if (copies.empty()) {
        orphans_.clear();
        return maps;
    }

    std::string text = "Найдены несохранённые изменения карт: " + std::to_string(copies.size()) + ". Восстановить их?\n";
    for (const TRecoveredCopy& copy : copies) {
        text += "\n" + MapDisplayName(copy.Description.FileName);
        if (copy.Map)
            text += " — " + ShownTime(copy.Description.Time);
        else
            text += " — копия повреждена (" + copy.Damage + "), она остаётся в " + copy.MapPath;
    }
    switch (Messages().Ask("Восстановление", text, TMsgButtons::YesNoCancel)) {
    case TMsgResult::Yes:
        for (std::size_t i = 0; i < copies.size(); ++i) {
            if (!copies[i].Map) continue;
            givenBack_.push_back({copies[i].Map.get(), folders[i], copies[i].Key});
            maps.push_back(std::move(copies[i].Map));
        }
        break;
    case TMsgResult::No:
        for (auto& orphan : orphans_) orphan->RemoveAll();
        orphans_.clear();
        break;
    case TMsgResult::Cancel:
        orphans_.clear();
        break;
    }
    return maps;
}

void TRecoveryKeeper::Start(const std::vector<const TMap*>& recovered)
{
    try {
        folder_ = std::make_unique<TRecoveryFolder>(root_);
    } catch (const std::exception& error) {
        // The given-back copies stay in their folders: nothing may go while
        // no new copy can be written.
        Fail(error.what());
        orphans_.clear();
        return;
    }
    for (const TGivenBack& copy : givenBack_) {
        for (const TMap* map : recovered) {
            if (map != copy.Map) continue;
            if (MoveIn(copy.Folder, copy.Key, RecoveryKey(*map))) policy_.Adopt(map->Id(), map->Revision());
        }
    }
    givenBack_.clear();
    for (auto& orphan : orphans_)
        if (HoldsNoCopy(orphan->Path())) orphan->RemoveAll();
    // A folder left with damaged copies is let go, for the next start to name them again.
    orphans_.clear();
}

bool TRecoveryKeeper::MoveIn(const std::string& folder, const std::string& key, const std::string& newKey) const
{
    // The map before its description, as they are written: a description
    // never stands beside a map that is not its own.
    std::error_code error;
    for (const char* extension : {".KS", ".copy"}) {
        fs::rename(PathOf(folder) / PathOf(key + extension), PathOf(folder_->Path()) / PathOf(newKey + extension),
                   error);
        if (error) return false;
    }
    return true;
}

void TRecoveryKeeper::Tick(const TMapList& list)
{
    if (!folder_) return;
    const TRecoveryActions actions = policy_.Tick(RecoveryStates(list));
    const std::string folder = folder_->Path();
    for (const std::uint64_t key : actions.Take) {
        for (std::int32_t i = 0; i < list.Count(); ++i) {
            const TMap& map = list.Map(i);
            if (map.Id() != key) continue;
            auto snapshot = std::make_shared<const TRecoverySnapshot>(
                TakeRecoverySnapshot(map, i, QDateTime::currentSecsSinceEpoch()));
            Queue([folder, snapshot] { WriteRecoveryCopy(folder, *snapshot); });
        }
    }
    for (const std::uint64_t key : actions.Remove)
        Queue([folder, key] { RemoveRecoveryCopy(folder, RecoveryKey(key)); });
}

void TRecoveryKeeper::Exit()
{
    policy_.Exit();
    Finish();
    if (folder_) folder_->RemoveAll();
    folder_.reset();
}

void TRecoveryKeeper::Finish()
{
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return jobs_.empty() && !busy_; });
}

std::string TRecoveryKeeper::Folder() const { return folder_ ? folder_->Path() : std::string(); }

void TRecoveryKeeper::Queue(TJob job)
{
    {
        const std::lock_guard lock(mutex_);
        jobs_.push_back(std::move(job));
    }
    changed_.notify_all();
}

void TRecoveryKeeper::Work()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
        if (jobs_.empty()) return;
        TJob job = std::move(jobs_.front());
        jobs_.pop_front();
        busy_ = true;
        lock.unlock();
        try {
            job();
        } catch (const std::exception& error) {
            Fail(error.what());
        } catch (...) {
            Fail("unknown error");
        }
        lock.lock();
        busy_ = false;
        changed_.notify_all();
    }
}

void TRecoveryKeeper::Fail(const std::string& reason)
{
    if (failed_.exchange(true) || !sayFailure_) return;
    QMetaObject::invokeMethod(
        windowThread_.get(), [say = sayFailure_, reason] { say(reason); }, Qt::QueuedConnection);
}
