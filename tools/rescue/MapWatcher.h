// Follows the map of a rescue folder, read only: whenever the map file is
// replaced (a rescue writes a new one beside it and renames it), the new
// one is read. The folder is watched, and the file's time and size are
// also checked twice a second, for file systems that do not report changes.
#pragma once

#include <QDateTime>
#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QTimer>

#include "DiscState.h"

namespace rilvane::rescuewin {

class MapWatcher : public QObject {
    Q_OBJECT
public:
    explicit MapWatcher(QObject* parent = nullptr);

    // Starts following `folder`'s map; reads it at once. Stops following
    // whatever was followed before.
    void watch(const QString& folder);
    void stop();
    bool watching() const { return !folder_.isEmpty(); }
    QString mapPath() const;

    // Reads the map now when it changed since it was last read.
    void check();

signals:
    void mapChanged(const rilvane::rescuewin::DiscState& disc);
    // The map exists but cannot be read (once per version of the file).
    void mapUnreadable(const QString& reason);

private:
    QString folder_;
    QFileSystemWatcher watcher_;
    QTimer poll_;
    QDateTime lastModified_;
    qint64 lastSize_ = -1;
    qint64 lastInode_ = -1;
};

}  // namespace rilvane::rescuewin
