#pragma once

// Readable test output for the texts of the presets window (the Qt types' printers
// are in tests/support).
#include "link/presetrecord.h"

#include "tests/support/printers.h"

#include <QStringList>
#include <ostream>

namespace Presets {
inline void PrintTo(const RowTexts &r, std::ostream *os) {
    *os << QStringList{r.number, r.carrier, r.modulation, r.mode, r.top, r.step, r.interval}
               .join(QLatin1Char('|'))
               .toStdString();
}
} // namespace Presets
