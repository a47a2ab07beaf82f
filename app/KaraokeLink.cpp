#include "app/KaraokeLink.h"

#include <QCheckBox>

namespace rilvane {

KaraokeLink::KaraokeLink(QCheckBox& box, std::function<void(bool on)> apply)
{
    apply(box.isChecked());
    m_connection = QObject::connect(&box, &QCheckBox::toggled, std::move(apply));
}

KaraokeLink::~KaraokeLink()
{
    QObject::disconnect(m_connection);
}

}  // namespace rilvane
