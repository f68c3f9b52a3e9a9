#include "link/numbers.h"

#include <gtest/gtest.h>

#include "tests/support/printers.h"

#include <cmath>
#include <limits>

namespace {

struct LeadingCase {
    const char *text;
    double value;
    bool hasNumber;
};

TEST(NumbersTest, LeadingNumericPart) {
    const LeadingCase cases[] = {
        {"", 0, false},
        {"abc", 0, false},
        {"12abc", 12, true},
        {"  42", 42, true},
        {"\t7\r\n", 7, true},
        {"-3.5e2x", -350, true},
        {"+8", 8, true},
        {"-", 0, false},
        {".", 0, false},
        {".5", 0.5, true},
        {"5.", 5, true},
        {"1.25.3", 1.25, true},
        {"1,5", 1, true},  // only "." separates a fraction
        {"0x1A", 0, true}, // hexadecimal is not read: the number ends at "x"
        {"inf", 0, false},
        {"nan", 0, false},
        {"-inf", 0, false},
        {"1e", 1, true}, // an exponent needs digits
        {"2e+", 2, true},
        {"3E2", 300, true},
        {"1e-2", 0.01, true},
        {"007", 7, true},
        {"7050000\r", 7050000, true},
        {"1 000", 1, true},  // blanks end the number
        {"1e-400", 0, true}, // underflow gives 0
        {"0.000", 0, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_DOUBLE_EQ(Numbers::leadingValue(QString::fromLatin1(c.text)), c.value);
        EXPECT_EQ(Numbers::hasLeadingNumber(QString::fromLatin1(c.text)), c.hasNumber);
    }
}

TEST(NumbersTest, OverflowingExponentGivesInfinity) {
    EXPECT_EQ(Numbers::leadingValue(u"1e400"), std::numeric_limits<double>::infinity());
    EXPECT_EQ(Numbers::leadingValue(u"-1e400"), -std::numeric_limits<double>::infinity());
    EXPECT_EQ(Numbers::leadingValue(u"1e99999999999999999999"),
              std::numeric_limits<double>::infinity());
    EXPECT_EQ(Numbers::leadingValue(u"0.0000001e-99999999999999"), 0.0);
    // Many digits before the point overflow as well.
    EXPECT_EQ(Numbers::leadingValue(QString(400, QLatin1Char('9'))),
              std::numeric_limits<double>::infinity());
}

struct RoundCase {
    double value;
    std::optional<int16_t> i16;
    std::optional<int32_t> i32;
    std::optional<uint16_t> u16;
};

TEST(NumbersTest, RoundsHalvesToEvenAndStoresOnlyWhatFits) {
    const double inf = std::numeric_limits<double>::infinity();
    const RoundCase cases[] = {
        {2.5, 2, 2, 2},
        {3.5, 4, 4, 4},
        {-2.5, -2, -2, std::nullopt},
        {0.5, 0, 0, 0},
        {1.5, 2, 2, 2},
        {2.4999, 2, 2, 2},
        {-0.4, 0, 0, 0},
        {32767, 32767, 32767, 32767},
        {32767.5, std::nullopt, 32768, 32768}, // rounds up to 32768
        {32768, std::nullopt, 32768, 32768},
        {-32768, -32768, -32768, std::nullopt},
        {-32768.5, -32768, -32768, std::nullopt}, // halves to even: -32768
        {-32769, std::nullopt, -32769, std::nullopt},
        {65535, std::nullopt, 65535, 65535},
        {65535.5, std::nullopt, 65536, std::nullopt},
        {65536, std::nullopt, 65536, std::nullopt},
        {2147483647, std::nullopt, 2147483647, std::nullopt},
        {2147483647.5, std::nullopt, std::nullopt, std::nullopt},
        {2147483648.0, std::nullopt, std::nullopt, std::nullopt},
        {-2147483648.0, std::nullopt, -2147483647 - 1, std::nullopt},
        {-2147483649.0, std::nullopt, std::nullopt, std::nullopt},
        {1e300, std::nullopt, std::nullopt, std::nullopt},
        {inf, std::nullopt, std::nullopt, std::nullopt},
        {-inf, std::nullopt, std::nullopt, std::nullopt},
        {std::nan(""), std::nullopt, std::nullopt, std::nullopt},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(Numbers::toInt16(c.value), c.i16);
        EXPECT_EQ(Numbers::toInt32(c.value), c.i32);
        EXPECT_EQ(Numbers::toUInt16(c.value), c.u16);
    }
}

TEST(NumbersTest, StoreKeepsTheOldValueWhenItDoesNotFit) {
    int16_t i16 = 7;
    EXPECT_FALSE(Numbers::store(i16, 40000));
    EXPECT_EQ(i16, 7);
    EXPECT_TRUE(Numbers::store(i16, -12.5));
    EXPECT_EQ(i16, -12);

    int32_t i32 = 9;
    EXPECT_FALSE(Numbers::store(i32, std::nan("")));
    EXPECT_EQ(i32, 9);
    EXPECT_TRUE(Numbers::store(i32, 455000));
    EXPECT_EQ(i32, 455000);

    uint16_t u16 = 1000;
    EXPECT_FALSE(Numbers::store(u16, -1));
    EXPECT_EQ(u16, 1000);
    EXPECT_TRUE(Numbers::store(u16, 65535));
    EXPECT_EQ(u16, 65535);
}

TEST(NumbersTest, PlainDecimal) {
    const std::pair<double, const char *> cases[] = {
        {0, "0"},
        {-0.0, "0"},
        {7050000, "7050000"},
        {65000000, "65000000"},
        {-5, "-5"},
        {2.5, "2.5"},
        {0.999, "0.999"},
        {0.1, "0.1"},
        {-0.25, "-0.25"},
        {1e15, "1000000000000000"},
        {123456789012345, "123456789012345"},
        {4294967296.0, "4294967296"},
        {2015, "2015"},
        {std::numeric_limits<double>::infinity(), "inf"},
    };
    for (const auto &[value, text] : cases) {
        SCOPED_TRACE(text);
        EXPECT_EQ(Numbers::plain(value), QString::fromLatin1(text));
    }
    EXPECT_EQ(Numbers::plain(qint64{-9223372036854775807LL - 1}),
              QStringLiteral("-9223372036854775808"));
    EXPECT_EQ(Numbers::plain(qint64{42}), QStringLiteral("42"));
}

TEST(NumbersTest, PlainFractionsReadBackExactly) {
    for (double v : {0.1, 1.0 / 3.0, 7050000.125, 123.456, 1e-5, 99999999.99}) {
        SCOPED_TRACE(v);
        const QString text = Numbers::plain(v);
        EXPECT_FALSE(text.contains(QLatin1Char('e')));
        EXPECT_EQ(Numbers::leadingValue(text), v);
    }
}

TEST(NumbersTest, PrintedNumberHasASignPosition) {
    EXPECT_EQ(Numbers::printed(1234), QStringLiteral(" 1234"));
    EXPECT_EQ(Numbers::printed(0), QStringLiteral(" 0"));
    EXPECT_EQ(Numbers::printed(-5), QStringLiteral("-5"));
    EXPECT_EQ(Numbers::printed(2147483647), QStringLiteral(" 2147483647"));
}

TEST(NumbersTest, GroupedFrequency) {
    const std::pair<double, const char *> cases[] = {
        {0, "0"},
        {999, "999"},
        {1000, "1.000"},
        {123456, "123.456"},
        {1234567, "1.234.567"},
        {7050000, "7.050.000"},
        {40000000, "40.000.000"},
        {70000000, "70.000.000"},
        {65000000, "65.000.000"},
        {1234567890, "1234.567.890"}, // never a third separator
        // The rule works on the text, so a sign or a fraction counts as characters.
        {-1000, "-1.000"},
        {-100, "-.100"},
        {2.5, "2.5"},
        {1234.5, "123.4.5"},
    };
    for (const auto &[value, text] : cases) {
        SCOPED_TRACE(text);
        EXPECT_EQ(Numbers::groupedFrequency(value), QString::fromLatin1(text));
    }
}

} // namespace
