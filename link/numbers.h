#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>

// The number rules shared by everything that reads or writes numbers: text from the
// generator, the settings file and text boxes is read by its leading numeric part,
// stored in a field only when it fits, and numbers are written in plain decimal.
namespace Numbers {

// The leading numeric part of a text, after leading blanks: an optional sign, digits,
// an optional fraction and an optional exponent ("12abc" gives 12, "-3.5e2x" gives
// -350, "abc" and "" give 0). Never fails; an overflowing exponent gives +-inf.
double leadingValue(QStringView text);

// True when the text holds a number at its start (so that an empty or non-numeric
// dialog answer can be told from a typed 0).
bool hasLeadingNumber(QStringView text);

// Rounds to the nearest integer, halves to even, and returns it only when it fits
// the target type; otherwise (including NaN and infinities) nothing.
std::optional<int16_t> toInt16(double value);
std::optional<int32_t> toInt32(double value);
std::optional<uint16_t> toUInt16(double value);

// Stores the rounded value into the field when it fits; leaves the field as it was
// otherwise. Returns whether the value was stored.
bool store(int16_t &field, double value);
bool store(int32_t &field, double value);
bool store(uint16_t &field, double value);

// Plain decimal: digits, "-" when negative, no grouping, no leading zeros, and a
// fractional part only when the value has one (7050000 -> "7050000", 2.5 -> "2.5").
// A fraction is written with the fewest digits that read back as the same double.
// Magnitudes of 1e21 and above or below 1e-6, which no field of the program holds,
// fall back to the shortest form with an exponent; NaN and infinities give "nan",
// "inf" and "-inf".
QString plain(double value);
QString plain(qint64 value);

// A number as the settings file prints it: a space in place of the sign when it is
// not negative (" 1234"), "-" otherwise ("-5").
QString printed(qint64 value);

// A frequency grouped for the panel: "." before the last 3 digits, then before the
// last 7 characters, never a third separator (1234567890 -> "1234.567.890").
// The rule works on the plain text, so a sign or a fraction counts as characters:
// -1000 -> "-1.000", -100 -> "-.100", 1234.5 -> "123.4.5".
QString groupedFrequency(double value);

} // namespace Numbers
