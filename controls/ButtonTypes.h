#pragma once

// Enumerations shared by the bitmap button and its glyph machinery.

// Where the glyph sits relative to the caption.
enum TButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };

// Drawing state of a button; also the image number inside a glyph strip.
enum TButtonState { bsUp, bsDisabled, bsDown, bsExclusive };

// Stored for compatibility with other bitmap buttons; has no effect on drawing.
enum TButtonStyle { bsAutoDetect, bsWin31, bsNew };

// Predefined kinds of a bitmap button, in table order (see BitBtnKinds.h).
enum TBitBtnXPKind {
    bkCustom,
    bkOK,
    bkCancel,
    bkHelp,
    bkYes,
    bkNo,
    bkClose,
    bkAbort,
    bkRetry,
    bkIgnore,
    bkAll
};

inline constexpr int bitBtnXPKindCount = bkAll + 1;

// Modal results handed to a dialog by a button (QDialog::done value).
enum TModalResult {
    mrNone = 0,
    mrOk = 1,
    mrCancel = 2,
    mrAbort = 3,
    mrRetry = 4,
    mrIgnore = 5,
    mrYes = 6,
    mrNo = 7,
    mrAll = 8
};
