// A K reply (the text of a preset, as the parser stores it from the serial line) cut
// into the cells of a row of the presets window. The first byte chooses the preset the
// row belongs to, 0 to 13 so that numbers outside 1..12 are tried too.
//
// Promises: the cut loses and adds nothing (its fields and rest, joined at spaces, give
// the record), a row always shows its own number, a reply for another preset gives the
// empty row, and the mode column holds one of its texts.

#include "fuzzcheck.h"

#include "link/presetrecord.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1)
        return 0;
    const int number = data[0] % 14;
    const QString record = QString::fromLatin1(fuzzBytes(data + 1, size - 1));

    const Presets::CutRecord cut = Presets::cutRecord(record);
    FUZZ_CHECK(cut.fields.size() <= Presets::RecordFields);
    if (cut.fields.size() == Presets::RecordFields) {
        FUZZ_CHECK(cut.fields.join(QLatin1Char(' ')) == record);
        FUZZ_CHECK(cut.fields.constLast() == cut.rest);
    } else {
        FUZZ_CHECK(cut.fields.size() < Presets::RecordFields - 1);
        const QStringList parts = QStringList(cut.fields) << cut.rest;
        FUZZ_CHECK(parts.join(QLatin1Char(' ')) == record);
    }

    const Presets::RowTexts row = Presets::rowFor(number, record);
    FUZZ_CHECK(row.number == QString::number(number));
    if (Presets::answersOtherPreset(number, record))
        FUZZ_CHECK(row == Presets::emptyRow(number));
    static const QStringList modes = {QString(),
                                      QStringLiteral("Carrier"),
                                      QStringLiteral("Tone"),
                                      QStringLiteral("Beep"),
                                      QStringLiteral("Trill"),
                                      QStringLiteral("Sweep"),
                                      QStringLiteral(".....")};
    FUZZ_CHECK(modes.contains(row.mode));
    if (row.mode == QLatin1String("Sweep"))
        FUZZ_CHECK(row.interval.endsWith(QLatin1String(" sec.")));
    return 0;
}
