#pragma once

#include <QString>
#include <cstdint>

// What the setup window stores from its text boxes and what the setup exchange sends.
// Pure rules, so they are tested without a window.
namespace SetupRules {

// The setup window's values: the display operator's mode and operand and the coarse
// step, as the generator reported them or the user saved them; -1: nothing to send.
struct Values {
    int16_t mode = 0;
    int32_t displayOperator = 0;
    int32_t coarseStep = 0;
    bool operator==(const Values &) const = default;
};

// Display operator modes from 3 on (Mult, Div) take a factor or divisor: 0 is no
// sensible value there and is turned into 1.
constexpr int FirstFactorMode = 3;
constexpr int32_t MaxOperator = 39'999'999;
constexpr int32_t MinCoarseStep = 2;
constexpr int32_t MaxCoarseStep = 10'000'000;

// True when the operator text reads as 0 (empty, not a number, or a value that
// rounds to 0), so that Mult and Div put "1" in its place.
bool operatorIsZero(QStringView text);

// The operator value Save stores from the text: leading number, rounded half to even,
// 1 in place of 0 for Mult and Div, at most 39,999,999. There is no lower limit; a
// value below the 32-bit range is kept as the smallest 32-bit value, so it stays
// negative and nothing is sent.
int32_t savedOperator(QStringView text, int mode);

// The coarse step Save stores: leading number rounded half to even, limited to
// 2..10,000,000 (a text that is not a number gives 2).
int32_t savedCoarseStep(QStringView text);

// Whether the apply step sends the operator and the coarse step: only when none of
// the three values is negative (a value that did not fit its field is kept negative,
// so nothing is sent).
bool sendsSettings(int mode, int32_t operatorValue, int32_t coarseStep);

} // namespace SetupRules
