#include "StateLegend.h"

#include <QGridLayout>
#include <QLabel>
#include <QPixmap>

#include "DiscPicture.h"

namespace rilvane::rescuewin {

namespace {
constexpr SectorState kOrder[] = {SectorState::Untried, SectorState::Good,   SectorState::Verified,
                                  SectorState::Narrow,  SectorState::Suspect, SectorState::Failed,
                                  SectorState::Data};
}

StateLegend::StateLegend(QWidget* parent) : QWidget(parent)
{
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(2);
    int i = 0;
    for (const SectorState state : kOrder) {
        QPixmap swatch(12, 12);
        swatch.fill(DiscPicture::colour(state, 6));
        auto* box = new QLabel(this);
        box->setPixmap(swatch);
        auto* label = new QLabel(this);
        labels_[static_cast<size_t>(state)] = label;
        const int row = i / 3;
        const int column = (i % 3) * 2;
        grid->addWidget(box, row, column);
        grid->addWidget(label, row, column + 1);
        ++i;
    }
    grid->setColumnStretch(5, 1);
    setCounts(StateCounts{});
}

void StateLegend::setCounts(const StateCounts& counts)
{
    for (const SectorState state : kOrder)
        labels_[static_cast<size_t>(state)]->setText(
            QStringLiteral("%1: %2").arg(QString::fromUtf8(stateLabel(state))).arg(counts.of(state)));
}

QString StateLegend::entryText(SectorState state) const
{
    return labels_[static_cast<size_t>(state)]->text();
}

}  // namespace rilvane::rescuewin
