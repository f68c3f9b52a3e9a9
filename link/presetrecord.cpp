#include "link/presetrecord.h"

#include "link/numbers.h"

#include <cmath>

namespace Presets {

CutRecord cutRecord(QStringView record) {
    CutRecord cut;
    QStringView rest = record;
    while (cut.fields.size() < RecordFields - 1) {
        const qsizetype space = rest.indexOf(QLatin1Char(' '));
        if (space < 0)
            break;
        cut.fields << rest.left(space).toString();
        rest = rest.mid(space + 1);
    }
    if (cut.fields.size() == RecordFields - 1)
        cut.fields << rest.toString();
    cut.rest = rest.toString();
    return cut;
}

bool answersOtherPreset(int number, QStringView record) {
    const qsizetype space = record.indexOf(QLatin1Char(' '));
    const double named = Numbers::leadingValue(space < 0 ? record : record.left(space));
    for (int k = 1; k <= Count; ++k)
        if (named == k)
            return k != number;
    return false;
}

RowTexts emptyRow(int number) {
    RowTexts row;
    row.number = QString::number(number);
    return row;
}

RowTexts rowFor(int number, QStringView record) {
    RowTexts row = emptyRow(number);
    const CutRecord cut = cutRecord(record);
    if (cut.fields.isEmpty() || Numbers::leadingValue(cut.fields[0]) != number)
        return row;
    if (cut.fields.size() < RecordFields)
        return row;

    double value[RecordFields];
    for (int i = 0; i < RecordFields; ++i)
        value[i] = Numbers::leadingValue(cut.fields[i]);
    const double carrier = value[1], modulation = value[2], mode = value[3];

    if (!(carrier > 0 || modulation > 0)) {
        row.mode = QStringLiteral(".....");
        return row;
    }
    if (mode == 0)
        row.mode = QStringLiteral("Carrier");
    else if (mode == 1)
        row.mode = QStringLiteral("Tone");
    else if (mode == 2)
        row.mode = QStringLiteral("Beep");
    else if (mode == 3)
        row.mode = QStringLiteral("Trill");
    else if (mode > 14)
        row.mode = QStringLiteral("Sweep");

    const QString hz = QStringLiteral(" Hz");
    if (mode > 14) {
        row.top = Numbers::plain(value[4]) + hz;
        row.step = Numbers::plain(value[5]) + hz;
        row.interval = Numbers::plain(value[6]) + QStringLiteral(" sec.");
    }
    row.carrier = Numbers::plain(carrier) + hz;
    row.modulation = Numbers::plain(modulation) + hz;
    return row;
}

int elementLength(int speed) {
    const double s = speed < 1 ? 1 : speed;
    return static_cast<int>(std::floor(60.0 / (s * 9.6) * 1000.0));
}

} // namespace Presets

bool Presets::answers(int number, QStringView record) {
    return !record.isEmpty() && !answersOtherPreset(number, record);
}
