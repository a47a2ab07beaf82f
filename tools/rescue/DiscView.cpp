#include "DiscView.h"

#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

#include <algorithm>

namespace rilvane::rescuewin {

namespace {
constexpr int kPaceMs = 100;
}

DiscView::DiscView(QWidget* parent) : QWidget(parent)
{
    setMouseTracking(true);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    pace_.setSingleShot(true);
    pace_.setInterval(kPaceMs);
    connect(&pace_, &QTimer::timeout, this, &DiscView::redraw);
}

void DiscView::setDisc(const DiscState& disc)
{
    if (!disc_.empty() && !disc_.sameDisc(disc)) resized_ = true;  // another disc: draw it whole
    if (disc_.empty()) resized_ = true;
    disc_ = disc;
    dirty_ = true;
    if (!pace_.isActive()) pace_.start();
}

void DiscView::clear()
{
    disc_ = DiscState();
    picture_ = DiscPicture();
    position_.reset();
    dirty_ = false;
    QWidget::update();
}

void DiscView::setPosition(std::optional<int32_t> sector)
{
    if (position_ == sector) return;
    position_ = sector;
    positionMoved_ = true;
    if (!pace_.isActive()) pace_.start();
}

QRect DiscView::markerRect() const
{
    if (!position_ || disc_.empty() || picture_.side() == 0 || *position_ < 0 || *position_ >= disc_.sectors())
        return {};
    const QPoint at = widgetPointOf(*position_);
    return QRect(at - QPoint(18, 18), QSize(37, 37));
}

void DiscView::flush()
{
    pace_.stop();
    redraw();
}

void DiscView::redraw()
{
    if (disc_.empty()) return;
    const int side = std::max(16, std::min(width(), height()));
    bool whole = false;
    if (resized_ || picture_.side() != side) {
        picture_.reset(disc_, side);
        resized_ = false;
        whole = true;
    } else if (dirty_) {
        whole = picture_.update(disc_) > 0;
    }
    dirty_ = false;
    if (whole) {
        ++redraws_;
        QWidget::update();
    } else if (positionMoved_) {
        // Only the read position moved: where it was and where it is.
        QWidget::update(markedAt_ | markerRect());
    }
    positionMoved_ = false;
    markedAt_ = markerRect();
}

void DiscView::resizeEvent(QResizeEvent* /*event*/)
{
    resized_ = true;
    if (!pace_.isActive()) pace_.start();
}

QPointF DiscView::origin() const
{
    return {(width() - picture_.side()) / 2.0, (height() - picture_.side()) / 2.0};
}

void DiscView::paintEvent(QPaintEvent* /*event*/)
{
    QPainter p(this);
    if (disc_.empty() || picture_.side() == 0) {
        p.setPen(palette().color(QPalette::PlaceholderText));
        p.drawText(rect(), Qt::AlignCenter, QStringLiteral("Keine CD"));
        return;
    }
    const QPointF o = origin();
    p.drawImage(o, picture_.image());
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF c = o + picture_.centre();
    // Track boundaries (and the end of the last track).
    p.setPen(QPen(QColor(40, 40, 40, 110), 1));
    p.setBrush(Qt::NoBrush);
    for (const TrackSpan& track : disc_.tracks()) {
        if (track.number > 1) {
            const double r = picture_.radiusOf(track.first);
            p.drawEllipse(c, r, r);
        }
    }
    const double rEnd = picture_.radiusOf(disc_.sectors());
    p.drawEllipse(c, rEnd, rEnd);
    if (position_ && *position_ >= 0 && *position_ < disc_.sectors()) {
        const QPointF at = o + picture_.pointOf(*position_);
        const QPointF dir = (at - c) / std::max(1.0, std::hypot(at.x() - c.x(), at.y() - c.y()));
        p.setPen(QPen(QColor(20, 20, 20), 2));
        p.drawLine(at + dir * 4, at + dir * 14);
        p.setBrush(QColor(255, 255, 255));
        p.drawEllipse(at, 4, 4);
    }
}

QString DiscView::describeAt(QPoint point) const
{
    if (disc_.empty() || picture_.side() == 0) return {};
    const auto sector = picture_.sectorAt(QPointF(point) - origin() + QPointF(0.5, 0.5));
    if (!sector || *sector >= disc_.sectors()) return {};
    const int t = disc_.trackAt(*sector);
    const TrackSpan* track = t >= 0 ? &disc_.tracks()[static_cast<size_t>(t)] : nullptr;
    QString text = track ? QStringLiteral("Track %1 · %2").arg(track->number).arg(
                               QString::fromStdString(discTime(*sector - track->first)))
                         : QString();
    text += QStringLiteral(" · Sektor %1 · %2").arg(*sector).arg(QString::fromUtf8(stateLabel(disc_.state(*sector))));
    const uint16_t tries = disc_.tries(*sector);
    if (tries > 0) text += tries == 1 ? QStringLiteral(" · 1 Versuch") : QStringLiteral(" · %1 Versuche").arg(tries);
    return text;
}

QPoint DiscView::widgetPointOf(int32_t sector) const
{
    return (origin() + picture_.pointOf(sector)).toPoint();
}

void DiscView::mouseMoveEvent(QMouseEvent* event)
{
    const QString text = describeAt(event->position().toPoint());
    setToolTip(text);
    if (!text.isEmpty()) QToolTip::showText(event->globalPosition().toPoint(), text, this);
    else QToolTip::hideText();
    emit hovered(text);
}

void DiscView::leaveEvent(QEvent* /*event*/)
{
    emit hovered(QString());
}

}  // namespace rilvane::rescuewin
