// Keeps a session's karaoke mode equal to the window's karaoke box for as
// long as the session runs: the box may be ticked or cleared between two
// reads, and the next block read follows it.
#pragma once

#include <QMetaObject>

#include <functional>

class QCheckBox;

namespace rilvane {

class KaraokeLink {
public:
    // Applies the box's state now and on every change until destroyed.
    KaraokeLink(QCheckBox& box, std::function<void(bool on)> apply);
    ~KaraokeLink();
    KaraokeLink(const KaraokeLink&) = delete;
    KaraokeLink& operator=(const KaraokeLink&) = delete;

private:
    QMetaObject::Connection m_connection;
};

}  // namespace rilvane
