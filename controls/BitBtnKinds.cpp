#include "controls/BitBtnKinds.h"

#include <QString>

#include <array>

namespace {

constexpr std::array<BitBtnKindInfo, bitBtnXPKindCount> kinds{{
    {"", mrNone, false, false, ""},
    {"OK", mrOk, true, false, "BBOKX"},
    {"Cancel", mrCancel, false, true, "BBCANCELX"},
    {"&Help", mrNone, false, false, "BBHELPX"},
    {"&Yes", mrYes, true, false, "BBYESX"},
    {"&No", mrNo, false, true, "BBNOX"},
    {"&Close", mrNone, false, false, "BBCLOSEX"},
    {"Abort", mrAbort, false, false, "BBABORTX"},
    {"&Retry", mrRetry, false, false, "BBRETRYX"},
    {"&Ignore", mrIgnore, false, false, "BBIGNOREX"},
    {"&All", mrAll, false, false, "BBALLX"},
}};

struct KindGlyphTable {
    std::array<QImage, bitBtnXPKindCount> glyphs;
    std::array<bool, bitBtnXPKindCount> tried{};
};

KindGlyphTable& table()
{
    static KindGlyphTable t;
    return t;
}

std::size_t slotOf(TBitBtnXPKind kind)
{
    const int k = static_cast<int>(kind);
    return static_cast<std::size_t>(k >= 0 && k < bitBtnXPKindCount ? k : 0);
}

} // namespace

const BitBtnKindInfo& bitBtnKindInfo(TBitBtnXPKind kind)
{
    return kinds[slotOf(kind)];
}

const QImage& kindGlyph(TBitBtnXPKind kind)
{
    KindGlyphTable& t = table();
    const std::size_t slot = slotOf(kind);
    if (slot != 0 && !t.tried[slot]) {
        t.tried[slot] = true;
        t.glyphs[slot] = QImage(QStringLiteral(":/rilvane/images/%1.png")
                                    .arg(QLatin1String(kinds[slot].glyphName)));
    }
    return t.glyphs[slot];
}

