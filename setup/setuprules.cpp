#include "setup/setuprules.h"

#include "link/numbers.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {
// Halves to even (the default rounding mode), NaN read as 0.
double rounded(double value) {
    return std::isnan(value) ? 0.0 : std::nearbyint(value);
}
} // namespace

namespace SetupRules {

bool operatorIsZero(QStringView text) {
    return rounded(Numbers::leadingValue(text)) == 0.0;
}

int32_t savedOperator(QStringView text, int mode) {
    // The rule is applied to the rounded value: an operator of 0.4 would otherwise be
    // sent as a divisor of 0.
    double value = rounded(Numbers::leadingValue(text));
    if (value == 0.0 && mode >= FirstFactorMode)
        value = 1;
    value = std::clamp(value, double(std::numeric_limits<int32_t>::min()), double(MaxOperator));
    return static_cast<int32_t>(value);
}

int32_t savedCoarseStep(QStringView text) {
    const double value = rounded(Numbers::leadingValue(text));
    return static_cast<int32_t>(std::clamp(value, double(MinCoarseStep), double(MaxCoarseStep)));
}

bool sendsSettings(int mode, int32_t operatorValue, int32_t coarseStep) {
    return mode >= 0 && operatorValue >= 0 && coarseStep >= 0;
}

} // namespace SetupRules
