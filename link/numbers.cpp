#include "link/numbers.h"

#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <system_error>

namespace Numbers {
namespace {

bool isBlank(QChar c) {
    const char16_t u = c.unicode();
    return u == u' ' || u == u'\t' || u == u'\n' || u == u'\r';
}

bool isDigit(QChar c) {
    const char16_t u = c.unicode();
    return u >= u'0' && u <= u'9';
}

// The numeric prefix of a text as plain ASCII, ready for std::from_chars, and
// whether one was found. Only "." separates the fraction, whatever the locale.
struct Scan {
    bool found = false;
    bool negative = false;
    std::string mantissa;   // digits with at most one ".", no sign
    long long exponent = 0; // saturated, so absurd exponents stay absurd but finite
    // Decimal position of the first significant digit relative to the point
    // (positive: that many integer digits); tells overflow from underflow.
    long long magnitude = 0;
    bool allZero = true;
};

Scan scan(QStringView text) {
    Scan s;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && isBlank(text[i]))
        ++i;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
        s.negative = text[i] == u'-';
        ++i;
    }
    qsizetype digits = 0;
    long long intDigits = 0; // significant integer digits
    long long leadingFractionZeros = 0;
    bool seenSignificant = false;
    while (i < n && isDigit(text[i])) {
        const char d = static_cast<char>(text[i].unicode());
        if (d != '0')
            seenSignificant = true;
        if (seenSignificant) {
            s.mantissa.push_back(d);
            ++intDigits;
        }
        ++digits;
        ++i;
    }
    if (i < n && text[i] == u'.') {
        qsizetype j = i + 1;
        std::string fraction;
        qsizetype fractionDigits = 0;
        while (j < n && isDigit(text[j])) {
            const char d = static_cast<char>(text[j].unicode());
            if (!seenSignificant && intDigits == 0) {
                if (d == '0')
                    ++leadingFractionZeros;
                else
                    seenSignificant = true;
            }
            fraction.push_back(d);
            ++fractionDigits;
            ++j;
        }
        if (digits + fractionDigits > 0) {
            digits += fractionDigits;
            if (fractionDigits > 0) {
                s.mantissa += '.';
                s.mantissa += fraction;
            }
            i = j;
        }
    }
    if (digits == 0)
        return s; // "", "-", ".", "abc", "inf", "nan": no number
    s.found = true;
    s.allZero = !seenSignificant;
    if (s.mantissa.empty() || s.mantissa.front() == '.')
        s.mantissa.insert(s.mantissa.begin(), '0');

    // Exponent: only when "e"/"E" is followed by digits (with an optional sign).
    if (i < n && (text[i] == u'e' || text[i] == u'E')) {
        qsizetype j = i + 1;
        bool expNegative = false;
        if (j < n && (text[j] == u'+' || text[j] == u'-')) {
            expNegative = text[j] == u'-';
            ++j;
        }
        if (j < n && isDigit(text[j])) {
            long long e = 0;
            while (j < n && isDigit(text[j])) {
                if (e < 1000000)
                    e = e * 10 + (text[j].unicode() - u'0');
                ++j;
            }
            s.exponent = expNegative ? -e : e;
        }
    }
    s.magnitude = (intDigits > 0 ? intDigits : -leadingFractionZeros) + s.exponent;
    return s;
}

} // namespace

double leadingValue(QStringView text) {
    const Scan s = scan(text);
    if (!s.found || s.allZero)
        return s.found && s.negative ? -0.0 : 0.0;
    std::string number = s.mantissa;
    number += 'e';
    number += std::to_string(s.exponent);
    double value = 0;
    const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
    (void)end;
    if (ec == std::errc::result_out_of_range)
        value = s.magnitude > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    else if (ec != std::errc())
        value = 0.0;
    return s.negative ? -value : value;
}

bool hasLeadingNumber(QStringView text) {
    return scan(text).found;
}

namespace {

template <typename T> std::optional<T> roundedToFit(double value) {
    if (!std::isfinite(value))
        return std::nullopt;
    // nearbyint under the default rounding mode rounds halves to even; the program
    // never changes the rounding mode.
    const double r = std::nearbyint(value);
    if (r < static_cast<double>(std::numeric_limits<T>::min()) ||
        r > static_cast<double>(std::numeric_limits<T>::max()))
        return std::nullopt;
    return static_cast<T>(r);
}

template <typename T> bool storeRounded(T &field, double value) {
    const std::optional<T> v = roundedToFit<T>(value);
    if (!v)
        return false;
    field = *v;
    return true;
}

} // namespace

std::optional<int16_t> toInt16(double value) {
    return roundedToFit<int16_t>(value);
}
std::optional<int32_t> toInt32(double value) {
    return roundedToFit<int32_t>(value);
}
std::optional<uint16_t> toUInt16(double value) {
    return roundedToFit<uint16_t>(value);
}

bool store(int16_t &field, double value) {
    return storeRounded(field, value);
}
bool store(int32_t &field, double value) {
    return storeRounded(field, value);
}
bool store(uint16_t &field, double value) {
    return storeRounded(field, value);
}

QString plain(double value) {
    if (std::isnan(value))
        return QStringLiteral("nan");
    if (std::isinf(value))
        return value < 0 ? QStringLiteral("-inf") : QStringLiteral("inf");
    if (value == 0)
        return QStringLiteral("0"); // also -0: no "-0" on the panel or the wire
    // Fixed notation with the shortest digits that read back as the same double.
    // Values far outside anything a frequency can be fall back to the shortest
    // general form, which may use an exponent, rather than printing hundreds of zeros.
    const double magnitude = std::fabs(value);
    const auto format = (magnitude < 1e21 && magnitude >= 1e-6) ? std::chars_format::fixed
                                                                : std::chars_format::general;
    std::array<char, 400> buffer{};
    const auto [end, ec] =
        std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, format);
    if (ec != std::errc())
        return QString::number(value, 'g', 17);
    return QString::fromLatin1(buffer.data(), end - buffer.data());
}

QString plain(qint64 value) {
    return QString::number(value);
}

QString printed(qint64 value) {
    return value < 0 ? QString::number(value) : QLatin1Char(' ') + QString::number(value);
}

QString groupedFrequency(double value) {
    // A text rule, not arithmetic: applied to the plain text as it stands. For the
    // non-negative whole numbers the generator reports this is ordinary grouping;
    // a sign or a fraction is simply counted as characters ("-1000" -> "-1.000",
    // "-100" -> "-.100", "1234.5" -> "123.4.5"), which never fails.
    QString text = plain(value);
    if (text.size() > 3)
        text.insert(text.size() - 3, QLatin1Char('.'));
    if (text.size() > 7)
        text.insert(text.size() - 7, QLatin1Char('.'));
    return text;
}

} // namespace Numbers
