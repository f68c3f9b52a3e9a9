#pragma once

// The generator's own records (Qt Core only): cutting a K reply (a preset record) into
// its fields and the cells of a row of the presets window, which K reply answers which
// query, and the Morse element length sent with a Q line. The Instrument, the presets
// window and the remote control use them.

#include <QString>
#include <QStringList>
#include <QStringView>

namespace Presets {

constexpr int Count = 12;       // presets 1..12 in the generator
constexpr int RecordFields = 7; // number carrier modulation mode top step interval

// A K reply cut at its spaces: the first six fields are each the text up to the next
// space, the seventh is the rest (trailing text included). A record with fewer than
// six spaces gives fewer fields; `rest` is what remains after the last cut.
struct CutRecord {
    QStringList fields;
    QString rest;
};
CutRecord cutRecord(QStringView record);

// Whether a K reply answers the query for another preset than `number`: its first
// field names a preset 1..12 other than it (a late answer to an earlier query). A
// reply that names no preset is taken as this preset's, and shows as an empty row.
bool answersOtherPreset(int number, QStringView record);
// Whether a K reply answers the query for preset `number`: it holds a record (an empty
// one is no answer) and it is not another preset's.
bool answers(int number, QStringView record);

// The texts of one row of the presets window, column by column.
struct RowTexts {
    QString number;     // the preset number, always shown
    QString carrier;    // "7050000 Hz"
    QString modulation; // "1000 Hz"
    QString mode;       // "Carrier", "Tone", "Beep", "Trill", "Sweep", "....." or empty
    QString top;        // sweep presets only
    QString step;       // sweep presets only
    QString interval;   // "10 sec.", sweep presets only
    bool operator==(const RowTexts &) const = default;
};

// The row of preset `number` with only its number (cleared, or a reply that cannot
// be used).
RowTexts emptyRow(int number);

// The row of preset `number` for the K reply `record`. A reply that echoes another
// number, or that has fewer than seven fields, gives only the number: its fields
// cannot be trusted to be in their places.
RowTexts rowFor(int number, QStringView record);

// The length of one Morse element in ms at `speed`: the integer part of
// 60 / (speed * 9.6) * 1000, which is 6250 / speed. Speeds below 1 count as 1.
int elementLength(int speed);

} // namespace Presets
