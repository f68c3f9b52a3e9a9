// The preset record as a row of the presets window, and the Morse element length.
#include "link/presetrecord.h"

#include <gtest/gtest.h>

using Presets::RowTexts;

namespace {

TEST(ElementLength, IsTheIntegerPartOf6250OverTheSpeedForEverySpeed) {
    for (int s = 1; s <= 300; ++s)
        EXPECT_EQ(Presets::elementLength(s), 6250 / s) << "speed " << s;
    EXPECT_EQ(Presets::elementLength(0), 6250) << "a speed below 1 counts as 1";
    EXPECT_EQ(Presets::elementLength(-5), 6250);
}

struct RowCase {
    const char *name;
    int number;
    const char *record;
    RowTexts row;
};

TEST(PresetRow, ShowsWhatTheRecordHolds) {
    const RowCase cases[] = {
        {"in use, beep",
         3,
         "3 7050000 1000 2 0 0 0",
         {"3", "7050000 Hz", "1000 Hz", "Beep", "", "", ""}},
        {"sweep preset",
         5,
         "5 7000000 0 16 7200000 1000 10",
         {"5", "7000000 Hz", "0 Hz", "Sweep", "7200000 Hz", "1000 Hz", "10 sec."}},
        {"empty", 9, "9 0 0 0 0 0 0", {"9", "", "", ".....", "", "", ""}},
        {"negative frequencies count as empty",
         9,
         "9 -5 -1 1 0 0 0",
         {"9", "", "", ".....", "", "", ""}},
        {"mode 14 has no name and no sweep cells",
         2,
         "2 3650000 0 14 9 9 9",
         {"2", "3650000 Hz", "0 Hz", "", "", "", ""}},
        {"mode 15 is a sweep",
         2,
         "2 3650000 0 15 3700000 100 2.5",
         {"2", "3650000 Hz", "0 Hz", "Sweep", "3700000 Hz", "100 Hz", "2.5 sec."}},
        {"modulation alone puts a preset in use",
         4,
         "4 0 400 0 0 0 0",
         {"4", "0 Hz", "400 Hz", "Carrier", "", "", ""}},
        {"tone and trill",
         1,
         "1 455000 400 1 0 0 0",
         {"1", "455000 Hz", "400 Hz", "Tone", "", "", ""}},
        {"trill", 1, "1 455000 400 3 0 0 0", {"1", "455000 Hz", "400 Hz", "Trill", "", "", ""}},
        {"modes 4 to 13 have no name",
         6,
         "6 1000 0 7 0 0 0",
         {"6", "1000 Hz", "0 Hz", "", "", "", ""}},
        {"text after the seventh field belongs to it",
         5,
         "5 7000000 0 16 7200000 1000 10 x y",
         {"5", "7000000 Hz", "0 Hz", "Sweep", "7200000 Hz", "1000 Hz", "10 sec."}},
        {"fields read by their leading number",
         7,
         "7abc 12.5kHz x 2 0 0 0",
         {"7", "12.5 Hz", "0 Hz", "Beep", "", "", ""}},
        {"another preset's echo", 5, "4 7050000 1000 2 0 0 0", {"5", "", "", "", "", "", ""}},
        {"short record", 5, "5 7000000 0 16", {"5", "", "", "", "", "", ""}},
        {"six fields", 5, "5 7000000 0 16 7200000 1000", {"5", "", "", "", "", "", ""}},
        {"no space at all", 5, "5", {"5", "", "", "", "", "", ""}},
        {"empty record", 12, "", {"12", "", "", "", "", "", ""}},
        {"a double space shifts the fields along",
         8,
         "8  7050000 1000 2 0 0",
         {"8", "0 Hz", "7050000 Hz", "Sweep", "2 Hz", "0 Hz", "0 sec."}},
        {"huge numbers do not break the row",
         11,
         "11 1e400 0 0 0 0 0",
         {"11", "inf Hz", "0 Hz", "Carrier", "", "", ""}},
    };
    for (const RowCase &c : cases) {
        const RowTexts got = Presets::rowFor(c.number, QString::fromUtf8(c.record));
        EXPECT_EQ(got, c.row) << c.name << ": got " << got.number.toStdString() << "|"
                              << got.carrier.toStdString() << "|" << got.modulation.toStdString()
                              << "|" << got.mode.toStdString() << "|" << got.top.toStdString()
                              << "|" << got.step.toStdString() << "|" << got.interval.toStdString();
    }
}

TEST(PresetRecordCut, SixCutsAndTheRest) {
    auto cut = Presets::cutRecord(u"5 7000000 0 16 7200000 1000 10 tail");
    EXPECT_EQ(cut.fields, (QStringList{"5", "7000000", "0", "16", "7200000", "1000", "10 tail"}));
    EXPECT_EQ(cut.rest, QStringLiteral("10 tail"));
    cut = Presets::cutRecord(u"5 7000000 0");
    EXPECT_EQ(cut.fields, (QStringList{"5", "7000000"}));
    EXPECT_EQ(cut.rest, QStringLiteral("0"));
}

} // namespace
