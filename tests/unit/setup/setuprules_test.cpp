// What the setup window's Save stores from its text boxes, and what the apply step sends.
#include "setup/setuprules.h"

#include <gtest/gtest.h>

#include "tests/support/printers.h"

#include <cstdint>
#include <limits>
#include <ostream>

namespace {

constexpr int Sub = 2, Mult = 3, Div = 4;

TEST(SetupRules, OperatorValue) {
    struct Case {
        const char *text;
        int mode;
        int32_t saved;
    };
    const Case cases[] = {
        {"1000", Sub, 1000},
        {"0", Div, 1},
        {"", Mult, 1},
        {"abc", Div, 1},
        {"0", Sub, 0},                    // 0 is a sensible addend
        {"0.4", Div, 1},                  // rounds to 0: no divisor of 0 is sent
        {"2.5", Mult, 2},                 // halves to even
        {"3.5kHz", Mult, 4},              // the leading number
        {"50000000", Sub, 39999999},      // upper limit
        {"39999999.5", Sub, 39999999},    //
        {"-5", Div, -5},                  // no lower limit
        {"-99999999999", Sub, INT32_MIN}, // below the 32-bit range: stays negative
        {"-1e999", Sub, INT32_MIN},       //
        {"1e999", Sub, 39999999},         //
        {"0", -1, 0},                     // no mode chosen
    };
    for (const Case &c : cases)
        EXPECT_EQ(SetupRules::savedOperator(QString::fromLatin1(c.text), c.mode), c.saved)
            << c.text << " mode " << c.mode;
}

TEST(SetupRules, CoarseStep) {
    const std::pair<const char *, int32_t> cases[] = {
        {"100", 100},        {"1", 2},
        {"0.5", 2},          {"2.5", 2},
        {"3.5", 4},          {"abc", 2},
        {"-7", 2},           {"20000000", 10000000},
        {"1e999", 10000000}, {"10000000.5", 10000000},
    };
    for (const auto &[text, saved] : cases)
        EXPECT_EQ(SetupRules::savedCoarseStep(QString::fromLatin1(text)), saved) << text;
}

} // namespace
