#pragma once

#include "controls/ButtonTypes.h"

#include <QImage>
#include <QPushButton>

#include <memory>

class QPixmap;
class QShortcut;
class TButtonGlyph;
class ThemeRenderer;

// A push button with a glyph beside its caption, drawn entirely by itself.
//
// The face comes from the theme renderer while themes are active (see
// ThemeBinding.h) and is the classic three-dimensional face otherwise. Kinds
// (bkOK, bkCancel, ...) preset caption, glyph, modal result, Default and
// Cancel. Clicking a button with a non-zero ModalResult closes the QDialog
// it sits in with that result; Escape clicks a Cancel button; bkClose closes
// its window. The caption is QAbstractButton::text().
class TBitBtnXP : public QPushButton {
    Q_OBJECT

public:
    explicit TBitBtnXP(QWidget* parent = nullptr);
    ~TBitBtnXP() override;

    // The kind; reads bkCustom (for good) once Default, Cancel, ModalResult
    // or the glyph no longer match the kind.
    TBitBtnXPKind Kind() const;
    void setKind(TBitBtnXPKind kind);

    QImage Glyph() const;
    // Copies the strip; see TButtonGlyph::setGlyph for the number of images.
    void setGlyph(const QImage& strip);
    void setGlyph(const QPixmap& strip);

    int NumGlyphs() const;
    // 1 to 4: larger values become 4, 0 is ignored.
    void setNumGlyphs(int value);

    TButtonLayout Layout() const { return m_layout; }
    using QWidget::setLayout;
    void setLayout(TButtonLayout layout);

    int Margin() const { return m_margin; }
    // -1 centres glyph and caption; values below -1 are ignored.
    void setMargin(int margin);

    int Spacing() const { return m_spacing; }
    // -1 computes the gap from the free room.
    void setSpacing(int spacing);

    TButtonStyle Style() const { return m_style; }
    using QWidget::setStyle;
    // Stored only.
    void setStyle(TButtonStyle style);

    int ModalResult() const { return m_modalResult; }
    void setModalResult(int modalResult);

    // The button's own Default setting. (QPushButton::isDefault() follows
    // QDialog's focus handling and so changes while focus moves.)
    bool Default() const { return m_default; }
    void setDefault(bool value);

    bool Cancel() const { return m_cancel; }
    void setCancel(bool value);

    // True while this button is the one Enter presses: it has the focus of
    // its window, or it is the default and no other push button has it.
    bool isActiveDefault() const;
    // True when the next paint takes the themed path.
    bool usesThemes() const;

    // The glyph machinery, for inspection.
    const TButtonGlyph& buttonGlyph() const { return *m_glyph; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void Click();
    void focusMoved();

    std::unique_ptr<TButtonGlyph> m_glyph;
    std::shared_ptr<ThemeRenderer> m_theme;
    QShortcut* m_cancelShortcut = nullptr;
    TButtonStyle m_style = bsAutoDetect;
    mutable TBitBtnXPKind m_kind = bkCustom;
    TButtonLayout m_layout = blGlyphLeft;
    int m_spacing = 4;
    int m_margin = -1;
    int m_modalResult = mrNone;
    bool m_default = false;
    bool m_cancel = false;
    bool m_modifiedGlyph = false;
    bool m_activeDefault = false;
};
