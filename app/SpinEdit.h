// A numeric spin field: an edit box with up and down arrows holding a whole
// number. Its value is read from the text as it stands: text that is not a
// number reads as the lower bound (0 when the field has no bounds), and with
// bounds a number outside them reads as the nearest bound. Typing is limited
// to digits, signs and blanks. The field has no bounds while both bounds are
// equal, which is the default.
//
// In a window whose repaints are paced to the screen (FramePacer), a number
// set by the program reaches the edit box when the window next paints: a loop
// may set the field after every short step without laying out every number,
// and every picture of the window shows the field together with whatever
// else followed the same number. The field holds the number at once: value(),
// editText() and changed() follow every setValue(), and anything the user
// does to the field first brings the box up to date.
#pragma once

#include <QAbstractSpinBox>
#include <QPointer>
#include <QTimer>

#include <cstdint>
#include <optional>

namespace rilvane {

class FramePacer;

class SpinEdit : public QAbstractSpinBox {
    Q_OBJECT
public:
    explicit SpinEdit(QWidget* parent = nullptr);

    int32_t value() const;
    // Sets the text to the number; emits changed() even when the text was
    // already that number.
    void setValue(int32_t value);

    void setBounds(int32_t minValue, int32_t maxValue);
    int32_t minValue() const { return m_min; }
    int32_t maxValue() const { return m_max; }
    void setIncrement(int32_t increment) { m_increment = increment; }
    int32_t increment() const { return m_increment; }

    // The edit text, and setting it as if it had been typed.
    QString editText() const;
    void setEditText(const QString& text);

    void stepBy(int steps) override;

    // The number a text stands for, if it is one (optional sign, decimal
    // digits, surrounding blanks, within 32 bits).
    static std::optional<int32_t> parseNumber(const QString& text);

Q_SIGNALS:
    // Every change of the text, typed or set by the program.
    void changed();

protected:
    StepEnabled stepEnabled() const override;
    QValidator::State validate(QString& input, int& pos) const override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool bounded() const { return m_min != m_max; }
    int32_t clamp(int64_t value) const;
    // The text the field holds: one waiting to be shown, else the box's.
    QString currentText() const;
    // True when a number set now may wait for the window's next paint.
    bool paced();
    // Puts a waiting text into the box now.
    void showPending();
    // Forgets a waiting text; true when there was one.
    bool dropPending();
    void editTextChanged();

    std::optional<QString> m_pending;
    QPointer<FramePacer> m_pacer;
    QTimer m_showTimer;  // runs while a text waits, in case no paint comes
    bool m_showing = false;

    int32_t m_min = 0;
    int32_t m_max = 0;
    int32_t m_increment = 1;
};

}  // namespace rilvane
