#include "framework/Numbers.h"

#include <clocale>

#include <gtest/gtest.h>

namespace {

TEST(FormatFixed, RoundsAtTheLastDecimalOrSignificantDigit) {
    struct {
        double Value;
        int Precision, Digits;
        const char* Text;
    } const Cases[] = {
        {123.46, 4, 1, "123.5"},  {5, 4, 1, "5.0"},        {145800000.4, 12, 0, "145800000"},
        {0, 4, 1, "0.0"},         {999.96, 4, 1, "1000.0"}, {9.96, 4, 1, "10.0"},
        {1234.56, 4, 1, "1235.0"}, {12345.6, 4, 1, "12346.0"},  // more integer digits than precision
        {-5.25, 5, 1, "-5.2"},     // nearest to the binary value, which lies below -5.25
        {-0.04, 4, 1, "0.0"},      {0.05, 4, 1, "0.1"},       {359.99, 5, 1, "360.0"},
        {123456789012.6, 12, 0, "123456789013"},
    };
    for (const auto& C : Cases)
        EXPECT_EQ(FormatFixed(C.Value, C.Precision, C.Digits), C.Text) << C.Value;
}

TEST(ParseDecimal, AcceptsOnlyCompleteNumbers) {
    EXPECT_EQ(ParseDecimal("12.5"), 12.5);
    EXPECT_EQ(ParseDecimal("  +7"), 7);
    EXPECT_EQ(ParseDecimal("-.5"), -0.5);
    EXPECT_EQ(ParseDecimal("5."), 5);
    EXPECT_EQ(ParseDecimal("1e-2"), 0.01);
    EXPECT_EQ(ParseDecimal("1E+2"), 100);
    for (const char* Bad : {"", "   ", "+", ".", "1e", "1e+", "12 ", "1,5", "0x10", "inf", "nan", "1.2.3", "--1",
                            "1e400"})
        EXPECT_FALSE(ParseDecimal(Bad)) << Bad;
}

TEST(Numbers, IndependentOfTheProcessLocale) {
    // A locale with a decimal comma must change nothing.
    const char* Names[] = {"de_DE.UTF-8", "de_DE", "German_Germany.1252", "German"};
    const char* Set = nullptr;
    for (const char* Name : Names)
        if ((Set = std::setlocale(LC_ALL, Name)))
            break;
    if (!Set)
        GTEST_SKIP() << "no locale with a decimal comma on this system";
    EXPECT_EQ(FormatFixed(123.46, 4, 1), "123.5");
    EXPECT_EQ(ParseDecimal("12.5"), 12.5);
    EXPECT_FALSE(ParseDecimal("12,5"));
    std::setlocale(LC_ALL, "C");
}

TEST(AsciiUpperCase, ChangesOnlyAsciiLetters) {
    EXPECT_EQ(AsciiUpperCase("az\xE9z{`"), "AZ\xE9Z{`");
}

}  // namespace

namespace {

TEST(ParseInteger, TakesDecimalAndHexadecimalTextsWithinThirtyTwoBits) {
    struct {
        const char* Text;
        std::optional<int32_t> Value;
    } const Cases[] = {
        {"300", 300},        {"  -12", -12},   {"+7", 7},
        {"$1F", 31},         {"0x1f", 31},     {"-$10", -16},
        {"$FFFFFFFF", -1},   {"2147483647", 2147483647}, {"-2147483648", INT32_MIN},
        {"2147483648", {}},  {"$100000000", {}},         {"1x", {}},
        {"", {}},            {"   ", {}},                 {"12 ", {}},
        {"--1", {}},         {"-+1", {}},                 {"$", {}},
        {"1.0", {}},         {"0x-1", {}},
    };
    for (const auto& C : Cases)
        EXPECT_EQ(ParseInteger(C.Text), C.Value) << '"' << C.Text << '"';
}

}  // namespace
