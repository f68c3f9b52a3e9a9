// The number scanner, which reads every number that comes from outside (replies,
// KVT.INI, text boxes), and the writer of plain decimal. The bytes are read as text
// both as Latin-1 (the serial line) and as UTF-8 (files and text boxes); their first
// eight bytes are also taken as a double for the writer.
//
// Promises: the scanner gives 0 when it finds no number and never NaN; a value that is
// stored fits its field and is the rounded number; plain decimal of a finite value, and
// the settings file's printed form, read back as the same value.

#include "fuzzcheck.h"

#include "link/numbers.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace {

template <typename Int> void checkRounding(const std::optional<Int> &stored, double value) {
    if (!stored) {
        FUZZ_CHECK(!std::isfinite(value) ||
                   std::nearbyint(value) < double(std::numeric_limits<Int>::min()) ||
                   std::nearbyint(value) > double(std::numeric_limits<Int>::max()));
        return;
    }
    FUZZ_CHECK(std::fabs(double(*stored) - value) <= 0.5);
}

void checkWriter(double value) {
    if (!std::isfinite(value)) {
        const QString text = Numbers::plain(value);
        FUZZ_CHECK(text == QLatin1String("nan") || text == QLatin1String("inf") ||
                   text == QLatin1String("-inf"));
        return;
    }
    const QString text = Numbers::plain(value);
    FUZZ_CHECK(Numbers::leadingValue(text) == value);
    FUZZ_CHECK(Numbers::groupedFrequency(value).size() <= text.size() + 2);
}

void checkText(QStringView text) {
    const double value = Numbers::leadingValue(text);
    FUZZ_CHECK(!std::isnan(value));
    if (!Numbers::hasLeadingNumber(text))
        FUZZ_CHECK(value == 0);
    checkRounding(Numbers::toInt16(value), value);
    checkRounding(Numbers::toUInt16(value), value);
    const std::optional<int32_t> whole = Numbers::toInt32(value);
    checkRounding(whole, value);
    if (whole)
        FUZZ_CHECK(Numbers::leadingValue(Numbers::printed(*whole)) == *whole);
    checkWriter(value);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArray bytes = fuzzBytes(data, size);
    checkText(QString::fromLatin1(bytes));
    checkText(QString::fromUtf8(bytes));
    if (size >= sizeof(double)) {
        double value;
        std::memcpy(&value, data, sizeof value);
        checkWriter(value);
    }
    return 0;
}
