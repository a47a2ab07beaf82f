#include "app/SpinEdit.h"

#include <QLineEdit>

#include <algorithm>
#include <limits>

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
    connect(lineEdit(), &QLineEdit::textChanged, this, &SpinEdit::changed);
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
    const std::optional<int32_t> number = parseNumber(lineEdit()->text());
    return clamp(number.value_or(m_min));
}

void SpinEdit::setValue(int32_t value)
{
    const QString text = QString::number(clamp(value));
    if (lineEdit()->text() == text)
        Q_EMIT changed();
    else
        lineEdit()->setText(text);
}

void SpinEdit::setBounds(int32_t minValue, int32_t maxValue)
{
    m_min = minValue;
    m_max = std::max(minValue, maxValue);
}

QString SpinEdit::editText() const
{
    return lineEdit()->text();
}

void SpinEdit::setEditText(const QString& text)
{
    lineEdit()->setText(text);
}

void SpinEdit::stepBy(int steps)
{
    // Held at the ends of the 32-bit range instead of wrapping round.
    setValue(clamp(int64_t{value()} + int64_t{steps} * m_increment));
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

void SpinEdit::focusOutEvent(QFocusEvent* event)
{
    // Leaving a bounded field shows the number it stands for.
    if (bounded()) {
        const QString shown = QString::number(value());
        if (lineEdit()->text() != shown)
            lineEdit()->setText(shown);
    }
    QAbstractSpinBox::focusOutEvent(event);
}

}  // namespace rilvane
