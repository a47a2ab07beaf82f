// The legend under the disc picture: each state's colour, name and count.
#pragma once

#include <QWidget>

#include <array>

#include "DiscState.h"

class QLabel;

namespace rilvane::rescuewin {

class StateLegend : public QWidget {
    Q_OBJECT
public:
    explicit StateLegend(QWidget* parent = nullptr);
    void setCounts(const StateCounts& counts);
    // The text of a state's entry, e.g. "unlesbar: 12".
    QString entryText(SectorState state) const;

private:
    std::array<QLabel*, kStateCount> labels_{};
};

}  // namespace rilvane::rescuewin
