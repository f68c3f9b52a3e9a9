#pragma once

#include <QByteArray>
#include <QStringView>

// The generator's Czech users write Windows-1250; this is the program's own encoder of
// it, for a Qt that has no such codec (one built without ICU).
namespace Windows1250 {

// One byte per character: ASCII as it is, the code page's upper half by its table, and
// "?" for anything the code page cannot hold (a character outside the basic plane, or
// a lone half of one, is one "?" too, so the rest of the line keeps its place).
QByteArray encode(QStringView text);

} // namespace Windows1250
