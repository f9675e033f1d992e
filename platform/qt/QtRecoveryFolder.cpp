#include "platform/qt/QtRecoveryFolder.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QLockFile>
#include <QStandardPaths>
#include <algorithm>
#include <atomic>

#include "platform/Errors.h"

namespace {

const QString LockName = QStringLiteral(".lock");

QString QPath(const std::string& utf8) { return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())); }

std::unique_ptr<QLockFile> LockOf(const QString& folder)
{
    auto lock = std::make_unique<QLockFile>(QDir(folder).filePath(LockName));
    // Only a dead owner makes a lock stale: an editor may run for days
    // without touching its lock, and must keep its copies all that time.
    lock->setStaleLockTime(0);
    return lock;
}

} // namespace

std::string TRecoveryFolder::Root()
{
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return QDir(data).filePath(QStringLiteral("kestedit/recovery")).toStdString();
}

TRecoveryFolder::TRecoveryFolder(const std::string& root)
{
    const QDir parent(QPath(root));
    // The time, the process id and a serial make a name no other editor
    // picks; a clash could only be with a folder in use, which the lock refuses.
    static std::atomic<int> serial{0};
    const QString name = QStringLiteral("editor-%1-%2-%3")
                             .arg(QDateTime::currentMSecsSinceEpoch())
                             .arg(QCoreApplication::applicationPid())
                             .arg(serial++);
    const QString folder = parent.filePath(name);
    if (!QDir().mkpath(folder)) throw EFileError(folder.toStdString(), "cannot be created");
    auto lock = LockOf(folder);
    if (!lock->tryLock(0)) throw EFileError(lock->fileName().toStdString(), "cannot be locked");
    path_ = folder.toStdString();
    lock_ = std::move(lock);
}

TRecoveryFolder::TRecoveryFolder(TTaken, std::string path, std::unique_ptr<QLockFile> lock)
    : path_(std::move(path)), lock_(std::move(lock))
{
}

TRecoveryFolder::~TRecoveryFolder()
{
    if (lock_) lock_->unlock();
}

bool TRecoveryFolder::RemoveAll()
{
    QDir folder(QPath(path_));
    bool removed = true;
    // Everything but the lock first, so that nobody takes the folder while it goes.
    for (const QFileInfo& entry :
         folder.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
        if (entry.fileName() == LockName) continue;
        const bool gone = entry.isDir() && !entry.isSymLink() ? QDir(entry.filePath()).removeRecursively()
                                                              : folder.remove(entry.fileName());
        removed = removed && gone;
    }
    if (!removed) return false;
    lock_->unlock();
    return folder.rmdir(folder.absolutePath()) || !folder.exists();
}

std::vector<std::unique_ptr<TRecoveryFolder>> TRecoveryFolder::TakeOrphans(const std::string& root)
{
    std::vector<std::unique_ptr<TRecoveryFolder>> taken;
    const QDir parent(QPath(root));
    const QStringList names = parent.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
    for (const QString& name : names) {
        const QString folder = parent.filePath(name);
        auto lock = LockOf(folder);
        // A live editor's lock refuses; a dead one's is removed and taken.
        if (!lock->tryLock(0)) continue;
        taken.push_back(std::unique_ptr<TRecoveryFolder>(new TRecoveryFolder(TTaken{}, folder.toStdString(), std::move(lock))));
    }
    return taken;
}
