#pragma once

#include "controls/ButtonTypes.h"

#include <QImage>

// What each button kind brings: caption, modal result, Default and Cancel,
// and the name of its glyph picture.
struct BitBtnKindInfo {
    const char* caption;     // "&" marks the mnemonic letter
    int modalResult;
    bool isDefault;
    bool isCancel;
    const char* glyphName;   // picture under :/rilvane/images/, without ".png"
};

const BitBtnKindInfo& bitBtnKindInfo(TBitBtnXPKind kind);

// The glyph strip of a kind: loaded on first use into a process-wide table
// with one slot per kind and kept until the program ends. Null for bkCustom,
// and when the picture cannot be loaded.
const QImage& kindGlyph(TBitBtnXPKind kind);
