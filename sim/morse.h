#pragma once

#include <QByteArrayView>
#include <QtGlobal>

#include <optional>

namespace sim {

// Length of a text keyed in Morse code, in elements (one element = one dot):
// dot 1, dash 3, gap inside a letter 1, between letters 3, between words 7.
// Characters without a Morse sign count as a space; a run of spaces between two
// signs is one word gap per space; spaces before the first and after the last
// sign take no time.
qint64 morseDurationUnits(QByteArrayView text);

// The Morse sign of a character (".-" for 'A'), or an empty view when it has none.
// Lower-case letters are keyed as capitals.
QByteArrayView morseSign(char c);

// The leading decimal number of a text (after optional blanks and a minus sign),
// as the generator reads its arguments; std::nullopt when the text starts with no
// digit or the number does not fit 18 digits.
std::optional<qint64> leadingNumber(QByteArrayView text);

} // namespace sim
