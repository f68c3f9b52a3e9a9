#include "sim/morse.h"

#include <QByteArray>

namespace sim {

QByteArrayView morseSign(char c) {
    static const char *const letters[26] = {".-",   "-...", "-.-.", "-..",  ".",    "..-.", "--.",
                                            "....", "..",   ".---", "-.-",  ".-..", "--",   "-.",
                                            "---",  ".--.", "--.-", ".-.",  "...",  "-",    "..-",
                                            "...-", ".--",  "-..-", "-.--", "--.."};
    static const char *const digits[10] = {"-----", ".----", "..---", "...--", "....-",
                                           ".....", "-....", "--...", "---..", "----."};
    if (c >= 'a' && c <= 'z')
        c = static_cast<char>(c - 'a' + 'A');
    if (c >= 'A' && c <= 'Z')
        return letters[c - 'A'];
    if (c >= '0' && c <= '9')
        return digits[c - '0'];
    switch (c) {
    case '.':
        return ".-.-.-";
    case ',':
        return "--..--";
    case '?':
        return "..--..";
    case '/':
        return "-..-.";
    case '=':
        return "-...-";
    case '-':
        return "-....-";
    case '+':
        return ".-.-.";
    case ':':
        return "---...";
    case '\'':
        return ".----.";
    case '(':
        return "-.--.";
    case ')':
        return "-.--.-";
    case '"':
        return ".-..-.";
    case '@':
        return ".--.-.";
    default:
        return {};
    }
}

qint64 morseDurationUnits(QByteArrayView text) {
    qint64 units = 0;
    bool haveSign = false;
    qint64 spacesSinceSign = 0;
    for (char c : text) {
        const QByteArrayView sign = morseSign(c);
        if (sign.isEmpty()) {
            if (haveSign)
                ++spacesSinceSign;
            continue;
        }
        if (haveSign)
            units += spacesSinceSign > 0 ? 7 * spacesSinceSign : 3;
        for (qsizetype i = 0; i < sign.size(); ++i)
            units += (sign[i] == '-' ? 3 : 1) + (i > 0 ? 1 : 0);
        haveSign = true;
        spacesSinceSign = 0;
    }
    return units;
}

std::optional<qint64> leadingNumber(QByteArrayView text) {
    qsizetype i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < text.size() && text[i] == '-') {
        negative = true;
        ++i;
    }
    qint64 value = 0;
    int digits = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        if (++digits > 18)
            return std::nullopt;
        value = value * 10 + (text[i] - '0');
        ++i;
    }
    if (digits == 0)
        return std::nullopt;
    return negative ? -value : value;
}

} // namespace sim
