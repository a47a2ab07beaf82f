#include "controls/ButtonsXP.h"

#include "controls/BitBtnKinds.h"
#include "controls/ButtonColors.h"
#include "controls/ButtonGlyph.h"
#include "controls/ThemeBinding.h"
#include "controls/ThemeRenderer.h"

#include <QApplication>
#include <QDialog>
#include <qdrawutil.h>
#include <QEvent>
#include <QFontMetrics>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QShortcut>
#include <QStyle>

using namespace ThemeParts;

namespace {

// The dotted focus rectangle: every other pixel of a one-pixel frame.
void drawFocusRect(QPainter& painter, const QRect& r, const QColor& colour)
{
    if (r.width() < 1 || r.height() < 1)
        return;
    const QBrush dots(colour, Qt::Dense4Pattern);
    painter.save();
    painter.setBrushOrigin(r.topLeft());
    painter.fillRect(QRect(r.left(), r.top(), r.width(), 1), dots);
    painter.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), dots);
    painter.fillRect(QRect(r.left(), r.top() + 1, 1, r.height() - 2), dots);
    painter.fillRect(QRect(r.right(), r.top() + 1, 1, r.height() - 2), dots);
    painter.restore();
}

} // namespace

TBitBtnXP::TBitBtnXP(QWidget* parent)
    : QPushButton(parent), m_glyph(std::make_unique<TButtonGlyph>())
{
    m_glyph->setOnChange([this] {
        updateGeometry();
        update();
    });

    // Enter presses the focused button in any window, not only in dialogs.
    setAutoDefault(true);

    m_cancelShortcut = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    m_cancelShortcut->setContext(Qt::WindowShortcut);
    m_cancelShortcut->setEnabled(false);
    connect(m_cancelShortcut, &QShortcut::activated, this, [this] {
        if (isEnabled() && isVisible())
            click();
    });

    // Connected first, so the window learns its modal result before the
    // application's click handlers run (it closes once they have returned).
    connect(this, &QAbstractButton::clicked, this, &TBitBtnXP::Click);
    connect(qApp, &QApplication::focusChanged, this, &TBitBtnXP::focusMoved);

    ThemeBinding::acquire();
    m_theme = ThemeBinding::OpenThemeData("BUTTON");
}

TBitBtnXP::~TBitBtnXP()
{
    // The base class destructor may still move the focus; this part is gone by then.
    disconnect(qApp, nullptr, this, nullptr);
}

TBitBtnXPKind TBitBtnXP::Kind() const
{
    if (m_kind != bkCustom) {
        const BitBtnKindInfo& info = bitBtnKindInfo(m_kind);
        if (m_default != info.isDefault || m_cancel != info.isCancel
            || m_modalResult != info.modalResult || m_modifiedGlyph)
            m_kind = bkCustom;
    }
    return m_kind;
}

void TBitBtnXP::setKind(TBitBtnXPKind kind)
{
    if (kind < bkCustom || kind > bkAll || kind == Kind())
        return;
    if (kind != bkCustom) {
        const BitBtnKindInfo& info = bitBtnKindInfo(kind);
        setDefault(info.isDefault);
        setCancel(info.isCancel);
        setText(QString::fromLatin1(info.caption));
        m_modalResult = info.modalResult;
        m_glyph->setGlyph(kindGlyph(kind));
        m_glyph->setNumGlyphs(2);
        m_modifiedGlyph = false;
    }
    m_kind = kind;
    update();
}

QImage TBitBtnXP::Glyph() const
{
    return m_glyph->Glyph();
}

void TBitBtnXP::setGlyph(const QImage& strip)
{
    m_glyph->setGlyph(strip);
    m_modifiedGlyph = true;
    update();
}

void TBitBtnXP::setGlyph(const QPixmap& strip)
{
    setGlyph(strip.toImage());
}

int TBitBtnXP::NumGlyphs() const
{
    return m_glyph->NumGlyphs();
}

void TBitBtnXP::setNumGlyphs(int value)
{
    m_glyph->setNumGlyphs(value);
}

void TBitBtnXP::setLayout(TButtonLayout layout)
{
    if (layout == m_layout)
        return;
    m_layout = layout;
    updateGeometry();
    update();
}

void TBitBtnXP::setMargin(int margin)
{
    if (margin == m_margin || margin < -1)
        return;
    m_margin = margin;
    update();
}

void TBitBtnXP::setSpacing(int spacing)
{
    if (spacing == m_spacing)
        return;
    m_spacing = spacing;
    updateGeometry();
    update();
}

void TBitBtnXP::setStyle(TButtonStyle style)
{
    m_style = style;
}

void TBitBtnXP::setModalResult(int modalResult)
{
    m_modalResult = modalResult;
}

void TBitBtnXP::setDefault(bool value)
{
    m_default = value;
    QPushButton::setDefault(value);
    focusMoved();
    update();
}

void TBitBtnXP::setCancel(bool value)
{
    m_cancel = value;
    m_cancelShortcut->setEnabled(value);
}

bool TBitBtnXP::isActiveDefault() const
{
    const QWidget* focus = window()->focusWidget();
    if (focus == this)
        return true;
    if (const auto* button = qobject_cast<const QPushButton*>(focus);
        button && button->autoDefault() && button->window() == window())
        return false;
    return m_default;
}

bool TBitBtnXP::usesThemes() const
{
    return m_theme && ThemeBinding::themesActive();
}

void TBitBtnXP::focusMoved()
{
    const bool active = isActiveDefault();
    if (active != m_activeDefault) {
        m_activeDefault = active;
        update();
    }
}

void TBitBtnXP::Click()
{
    // There is no help system, so bkHelp is an ordinary button.
    if (Kind() == bkClose) {
        QWidget* form = window();
        if (form && form != this) {
            form->close();
            return;
        }
    }
    if (m_modalResult == mrNone)
        return;
    if (auto* dialog = qobject_cast<QDialog*>(window())) {
        const int result = m_modalResult;
        QPointer<QDialog> guard(dialog);
        QMetaObject::invokeMethod(
            dialog,
            [guard, result] {
                // A click handler that closed the dialog itself has the last word.
                if (guard && guard->isVisible())
                    guard->done(result);
            },
            Qt::QueuedConnection);
    }
}

void TBitBtnXP::changeEvent(QEvent* event)
{
    QPushButton::changeEvent(event);
    switch (event->type()) {
    case QEvent::PaletteChange:
        // The disabled image is made from the palette's colours.
        m_glyph->releaseStateImages();
        update();
        break;
    case QEvent::FontChange:
        updateGeometry();
        update();
        break;
    case QEvent::EnabledChange:
        update();
        break;
    default:
        break;
    }
}

void TBitBtnXP::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QPalette palette = this->palette();
    palette.setCurrentColorGroup(QPalette::Active);
    const ButtonColors colors = ButtonColors::fromPalette(palette);

    const QRect client = rect();
    QRect r = client;
    const bool themed = usesThemes();
    if (themed)
        painter.fillRect(r, palette.color(backgroundRole()));

    const bool pressed = isDown();
    const bool focused = hasFocus();
    const TButtonState state = !isEnabled() ? bsDisabled : pressed ? bsDown : bsUp;
    const bool active = isActiveDefault();
    m_activeDefault = active;

    if (!themed && (active || focused)) {
        painter.setPen(colors.frame);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(r.adjusted(0, 0, -1, -1));
        r.adjust(1, 1, -1, -1);
    }

    if (pressed) {
        if (themed) {
            m_theme->DrawThemeBackground(painter, *this, BP_PUSHBUTTON, PBS_PRESSED, r);
        } else {
            painter.setPen(colors.shadow);
            painter.setBrush(colors.face);
            painter.drawRect(r.adjusted(0, 0, -1, -1));
        }
        r.adjust(1, 1, -1, -1);
    } else if (themed) {
        const int themeState = state == bsDisabled ? PBS_DISABLED : (active || focused) ? 1 : 0;
        m_theme->DrawThemeBackground(painter, *this, BP_PUSHBUTTON, themeState, r);
    } else {
        const QBrush face(colors.face);
        qDrawWinButton(&painter, r, palette, false, &face);
        r.adjust(2, 2, -2, -2);  // inside the frame's two-pixel edge
    }

    if (active)
        r = client.adjusted(1, 1, -1, -1);

    painter.setFont(font());
    if (pressed)
        r.translate(1, 1);

    const int mnemonic = style()->styleHint(QStyle::SH_UnderlineShortcut, nullptr, this)
                             ? Qt::TextShowMnemonic
                             : Qt::TextHideMnemonic;
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::NoBrush);
    m_glyph->Draw(painter, r, text(), m_layout, m_margin, m_spacing, state,
                  layoutDirection() == Qt::RightToLeft, colors, mnemonic);

    if (active && focused)
        drawFocusRect(painter, client.adjusted(4, 4, -4, -4), colors.text);
}

QSize TBitBtnXP::sizeHint() const
{
    const QSize glyph = m_glyph->imageSize();
    QSize textSize(0, 0);
    if (!text().isEmpty())
        textSize = QFontMetrics(font()).size(Qt::TextShowMnemonic, text());
    int gap = 0;
    if (glyph.width() > 0 && textSize.width() > 0)
        gap = m_spacing < 0 ? 4 : m_spacing;
    const bool horizontal = m_layout == blGlyphLeft || m_layout == blGlyphRight;
    const int width = horizontal ? glyph.width() + gap + textSize.width()
                                 : qMax(glyph.width(), textSize.width());
    const int height = horizontal ? qMax(glyph.height(), textSize.height())
                                  : glyph.height() + gap + textSize.height();
    return {qMax(width + 16, 75), qMax(height + 10, 25)};
}

QSize TBitBtnXP::minimumSizeHint() const
{
    return sizeHint();
}
