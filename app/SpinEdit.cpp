#include "app/SpinEdit.h"

#include "app/FramePacer.h"

#include <QLineEdit>

#include <algorithm>
#include <limits>
#include <utility>

namespace rilvane {

SpinEdit::SpinEdit(QWidget* parent) : QAbstractSpinBox(parent)
{
    setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    setCorrectionMode(QAbstractSpinBox::CorrectToPreviousValue);
    setKeyboardTracking(true);
    setAccelerated(false);
    lineEdit()->setText(QStringLiteral("0"));
    // The edit box paints its own background (the field's base colour, as
    // the style fills it): a new number repaints the box alone, not the
    // frame and the panel behind it.
    lineEdit()->setAutoFillBackground(true);
    connect(lineEdit(), &QLineEdit::textChanged, this, &SpinEdit::editTextChanged);
    m_showTimer.setSingleShot(true);
    m_showTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_showTimer, &QTimer::timeout, this, &SpinEdit::showPending);
}

std::optional<int32_t> SpinEdit::parseNumber(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    int index = 0;
    bool negative = false;
    if (trimmed[0] == u'+' || trimmed[0] == u'-') {
        negative = trimmed[0] == u'-';
        index = 1;
    }
    if (index >= trimmed.size())
        return std::nullopt;
    int64_t magnitude = 0;
    for (; index < trimmed.size(); ++index) {
        const QChar c = trimmed[index];
        if (c < u'0' || c > u'9')
            return std::nullopt;
        magnitude = magnitude * 10 + (c.unicode() - u'0');
        if (magnitude > int64_t{std::numeric_limits<int32_t>::max()} + 1)
            return std::nullopt;
    }
    const int64_t value = negative ? -magnitude : magnitude;
    if (value > std::numeric_limits<int32_t>::max() || value < std::numeric_limits<int32_t>::min())
        return std::nullopt;
    return static_cast<int32_t>(value);
}

int32_t SpinEdit::clamp(int64_t value) const
{
    if (bounded())
        value = std::clamp<int64_t>(value, m_min, m_max);
    return static_cast<int32_t>(
        std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

int32_t SpinEdit::value() const
{
    const std::optional<int32_t> number = parseNumber(currentText());
    return clamp(number.value_or(m_min));
}

QString SpinEdit::currentText() const
{
    return m_pending ? *m_pending : lineEdit()->text();
}

void SpinEdit::setValue(int32_t value)
{
    const QString text = QString::number(clamp(value));
    if (currentText() == text) {
        Q_EMIT changed();
        return;
    }
    if (!paced()) {
        lineEdit()->setText(text);
        return;
    }
    if (!m_pending) {
        // Asks for the paint that shows it. Should none come (the window
        // is not drawn just now), the box catches up a little later anyway.
        lineEdit()->update();
        m_showTimer.start(static_cast<int>(2 * frameIntervalOf(this) / 1000000 + 1));
    }
    m_pending = text;
    Q_EMIT changed();
}

bool SpinEdit::paced()
{
    if (!m_pacer) {
        m_pacer = FramePacer::of(this);
        if (!m_pacer) return false;
        connect(m_pacer, &FramePacer::aboutToFlush, this, &SpinEdit::showPending);
    }
    return isVisible();
}

void SpinEdit::showPending()
{
    m_showTimer.stop();
    if (!m_pending) return;
    const QString text = *std::exchange(m_pending, std::nullopt);
    // changed() went out when the number was set.
    m_showing = true;
    lineEdit()->setText(text);
    m_showing = false;
}

bool SpinEdit::dropPending()
{
    m_showTimer.stop();
    return std::exchange(m_pending, std::nullopt).has_value();
}

void SpinEdit::editTextChanged()
{
    if (m_showing) return;
    // Typed text is newer than a number still waiting to be shown.
    dropPending();
    Q_EMIT changed();
}

void SpinEdit::setBounds(int32_t minValue, int32_t maxValue)
{
    m_min = minValue;
    m_max = std::max(minValue, maxValue);
}

QString SpinEdit::editText() const
{
    return currentText();
}

void SpinEdit::setEditText(const QString& text)
{
    const bool wasPending = dropPending();
    if (lineEdit()->text() == text) {
        // The box shows it already, but the field held another number.
        if (wasPending) Q_EMIT changed();
        return;
    }
    lineEdit()->setText(text);
}

void SpinEdit::stepBy(int steps)
{
    // Held at the ends of the 32-bit range instead of wrapping round.
    setValue(clamp(int64_t{value()} + int64_t{steps} * m_increment));
    showPending();
    lineEdit()->selectAll();
}

QAbstractSpinBox::StepEnabled SpinEdit::stepEnabled() const
{
    return StepUpEnabled | StepDownEnabled;
}

QValidator::State SpinEdit::validate(QString& input, int&) const
{
    for (const QChar c : input) {
        if (!(c.isDigit() && c.unicode() < 128) && c != u'+' && c != u'-' && c != u' ')
            return QValidator::Invalid;
    }
    return QValidator::Acceptable;
}

void SpinEdit::keyPressEvent(QKeyEvent* event)
{
    showPending();  // keys edit what the field holds
    QAbstractSpinBox::keyPressEvent(event);
}

void SpinEdit::focusOutEvent(QFocusEvent* event)
{
    showPending();
    // Leaving a bounded field shows the number it stands for.
    if (bounded()) {
        const QString shown = QString::number(value());
        if (lineEdit()->text() != shown)
            lineEdit()->setText(shown);
    }
    QAbstractSpinBox::focusOutEvent(event);
}

}  // namespace rilvane
