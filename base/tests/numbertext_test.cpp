// Numbers read from text: what counts as a decimal number, its parts, and the value it gives.
#include "base/numbertext.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(NumberText, ADecimalNumberIsTakenApartAsWritten)
{
    const auto parts = base::decimalText(" \t-012.50e+3 ");
    ASSERT_TRUE(parts);
    EXPECT_TRUE(parts->negative);
    EXPECT_EQ(parts->whole, "012");
    EXPECT_EQ(parts->fraction, "50");
    EXPECT_EQ(parts->exponent, "+3");
    EXPECT_EQ(parts->magnitude, "012.50e+3");
    EXPECT_EQ(base::numberFromText(" \t-012.50e+3 "), -12500.0);

    EXPECT_EQ(base::decimalText("168.")->fraction, "");
    EXPECT_EQ(base::decimalText(".5")->whole, "");
    EXPECT_EQ(base::numberFromText("+.5"), 0.5);
    EXPECT_EQ(base::trimmed(" \t 1 2\t "), "1 2");
    EXPECT_EQ(base::trimmed(" \t "), "");
}

TEST(NumberText, AnythingElseIsNoNumber)
{
    for (const char *text : {"", "  ", "+", "-", ".", "-.", "+-1", "- 1", "1 2", "1e", "1e+", ".e1",
                             "e1", "0x1A", "inf", "-nan", "1,5", "1.2.3", "１"}) {
        EXPECT_FALSE(base::decimalText(text)) << text;
        EXPECT_FALSE(base::numberFromText(text)) << text;
    }
    // A number too large for a double is none either.
    EXPECT_TRUE(base::decimalText("1e400"));
    EXPECT_FALSE(base::numberFromText("1e400"));
    EXPECT_FALSE(base::numberFromText(std::string(400, '9')));
}

TEST(NumberText, AWholeNumberIsRoundedDownAndMustFit32Bits)
{
    EXPECT_EQ(base::wholeNumberFromText("-0.5"), -1);
    EXPECT_EQ(base::wholeNumberFromText("2147483647.9"), 2147483647);
    EXPECT_EQ(base::wholeNumberFromText("-2147483648"), -2147483648LL);
    EXPECT_FALSE(base::wholeNumberFromText("2147483648"));
    EXPECT_FALSE(base::wholeNumberFromText("-2147483648.5"));
    EXPECT_FALSE(base::wholeNumberFromText(base::kNoValue));
}

} // namespace
