#pragma once

// Readable test output for the texts of the presets window.
#include "presets/presetrecord.h"

#include <QString>
#include <QStringList>
#include <ostream>

inline void PrintTo(const QString &s, std::ostream *os) {
    *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(const QStringList &l, std::ostream *os) {
    *os << '[' << l.join(QStringLiteral(", ")).toStdString() << ']';
}
namespace Presets {
inline void PrintTo(const RowTexts &r, std::ostream *os) {
    *os << QStringList{r.number, r.carrier, r.modulation, r.mode, r.top, r.step, r.interval}
               .join(QLatin1Char('|'))
               .toStdString();
}
} // namespace Presets
