#include "MapWatcher.h"

#include <QDir>
#include <QFileInfo>

#include <sys/stat.h>

#include "rescue/RescueSession.h"

namespace rilvane::rescuewin {

namespace {
constexpr int kPollMs = 500;
}

MapWatcher::MapWatcher(QObject* parent) : QObject(parent)
{
    poll_.setInterval(kPollMs);
    connect(&poll_, &QTimer::timeout, this, &MapWatcher::check);
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, &MapWatcher::check);
}

QString MapWatcher::mapPath() const
{
    return QDir(folder_).filePath(QString::fromLatin1(rescue::RescueFiles::kMap));
}

void MapWatcher::watch(const QString& folder)
{
    stop();
    folder_ = folder;
    watcher_.addPath(folder);
    poll_.start();
    check();
}

void MapWatcher::stop()
{
    if (!watcher_.directories().isEmpty()) watcher_.removePaths(watcher_.directories());
    poll_.stop();
    folder_.clear();
    lastModified_ = QDateTime();
    lastSize_ = -1;
    lastInode_ = -1;
}

void MapWatcher::check()
{
    if (folder_.isEmpty()) return;
    // A folder made after the watch began is watched from now on.
    if (watcher_.directories().isEmpty() && QFileInfo(folder_).isDir()) watcher_.addPath(folder_);
    const QString path = mapPath();
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) return;
    const QFileInfo info(path);
    const QDateTime modified = info.lastModified();
    const auto inode = static_cast<qint64>(st.st_ino);
    if (modified == lastModified_ && st.st_size == lastSize_ && inode == lastInode_) return;
    lastModified_ = modified;
    lastSize_ = st.st_size;
    lastInode_ = inode;
    std::string error;
    const auto disc = DiscState::load(QFile::encodeName(path).toStdString(), error);
    if (!disc) {
        emit mapUnreadable(QString::fromStdString(error));
        return;
    }
    emit mapChanged(*disc);
}

}  // namespace rilvane::rescuewin
