#pragma once

// Lines ended by CR LF, as the generator and the program send them.

#include <QByteArray>
#include <QList>
#include <QStringList>

// The complete lines in `bytes` (without their CR LF). What follows the last CR LF
// goes to `rest` when given.
QList<QByteArray> crlfSplit(const QByteArray &bytes, QByteArray *rest = nullptr);

// The same lines as Latin-1 text.
QStringList crlfLines(const QByteArray &bytes, QByteArray *rest = nullptr);
