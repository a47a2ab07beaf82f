// How the position field reads its text, and the copyright year.

#include "app/AboutBoxUnit.h"
#include "app/SpinEdit.h"

#include <gtest/gtest.h>

using rilvane::SpinEdit;

TEST(SpinEditNumber, SignedDecimalWithin32Bits)
{
    EXPECT_EQ(SpinEdit::parseNumber(QStringLiteral("500")), 500);
    EXPECT_EQ(SpinEdit::parseNumber(QStringLiteral(" -42 ")), -42);
    EXPECT_EQ(SpinEdit::parseNumber(QStringLiteral("+7")), 7);
    EXPECT_EQ(SpinEdit::parseNumber(QStringLiteral("2147483647")), 2147483647);
    EXPECT_EQ(SpinEdit::parseNumber(QStringLiteral("-2147483648")), std::numeric_limits<int32_t>::min());
}

TEST(SpinEditNumber, AnythingElseIsNoNumber)
{
    for (const char* text : {"", " ", "-", "+", "abc", "12a", "1 2", "--1", "2147483648", "-2147483649",
                             "99999999999999999999", "0x10", "1.5"})
        EXPECT_FALSE(SpinEdit::parseNumber(QString::fromLatin1(text)).has_value()) << text;
}

TEST(CopyrightYear, ReplacesOnlyTheFirstPlaceholder)
{
    EXPECT_EQ(TAboutBox::withYear(QStringLiteral("Copyright © XXXX Tormend"), 2031),
              QStringLiteral("Copyright © 2031 Tormend"));
    EXPECT_EQ(TAboutBox::withYear(QStringLiteral("XXXX-XXXX"), 7), QStringLiteral("7-XXXX"));
    EXPECT_EQ(TAboutBox::withYear(QStringLiteral("no year"), 2031), QStringLiteral("no year"));
}
