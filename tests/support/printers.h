#pragma once

// Readable Qt values in GoogleTest failure messages. GoogleTest finds PrintTo by
// argument-dependent lookup; these live in the global namespace, as Qt's types do.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <ostream>

inline void PrintTo(const QString &text, std::ostream *os) {
    *os << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QStringList &list, std::ostream *os) {
    *os << '[' << list.join(QStringLiteral(", ")).toStdString() << ']';
}

// Printable ASCII as it is, CR and LF as \r and \n, every other byte as \xNN.
inline void PrintTo(const QByteArray &bytes, std::ostream *os) {
    *os << '"';
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '\r')
            *os << "\\r";
        else if (c == '\n')
            *os << "\\n";
        else if (c == '"' || c == '\\')
            *os << '\\' << c;
        else if (u >= 0x20 && u < 0x7f)
            *os << c;
        else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", u);
            *os << hex;
        }
    }
    *os << '"';
}
