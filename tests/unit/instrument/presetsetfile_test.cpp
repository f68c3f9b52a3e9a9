// Preset sets in files: what the reader takes from a file written by this program or a
// spreadsheet, the first problem it names by line and column, and the rules of a row.
#include "instrument/presetsetfile.h"

#include <gtest/gtest.h>

namespace {

using PresetSetFile::Row;

// The rows as "number carrier tone mode top step interval @line", or the problem as
// "L<line> <column>".
QString outcome(const PresetSetFile::ReadResult &read) {
    if (read.problem)
        return QStringLiteral("L%1 %2").arg(read.problem->line).arg(read.problem->column);
    QStringList rows;
    for (const Row &r : read.rows) {
        QStringList cells;
        for (qint64 v : {qint64{r.number}, r.carrierHz, r.toneHz, qint64{r.mode}, r.topHz, r.stepHz,
                         r.intervalS})
            cells << QString::number(v);
        rows << cells.join(u' ') + QStringLiteral(" @%1").arg(r.line);
    }
    return rows.join(u"; ");
}

const QByteArray H = "preset,carrier_hz,tone_hz,mode,top_hz,step_hz,interval_s\n";

TEST(PresetSetFileRead, TakesWhatSpreadsheetsWriteAndNamesTheFirstBadCell) {
    const struct {
        const char *name;
        QByteArray file;
        const char *outcome;
    } cases[] = {
        {"origin line, in any order",
         "# KVT 20 serial 1234 \"x;y\n" + H +
             "5,7000000,0,16,7200000,1000,10\n1,7050000,1000,2,0,0,0",
         "5 7000000 0 16 7200000 1000 10 @3; 1 7050000 1000 2 0 0 0 @4"},
        {"BOM, CR LF, semicolons",
         "\xEF\xBB\xBFpreset;carrier_hz;tone_hz;mode;top_hz;step_hz;interval_s\r\n3;3650000;0;0;0;"
         "0;0\r\n",
         "3 3650000 0 0 0 0 0 @2"},
        {"tabs, quoted cells, empty sweep cells",
         "\"preset\"\tcarrier_hz\ttone_hz\tmode\ttop_hz\tstep_hz\tinterval_s\n\"12\"\t \"455000\" "
         "\t400\t3\t\t\t\n",
         "12 455000 400 3 0 0 0 @2"},
        {"blank lines and a spreadsheet's trailing separators",
         H + "\n2,3650000,0,0,0,0,0,,\n,,,,,,\n", "2 3650000 0 0 0 0 0 @3"},
        {"a quoted line end counts its line", H + "1,7050000,\"0\n\",0,0,0,0\n2,x,0,0,0,0,0",
         "L4 carrier_hz"},
        {"a quote that never closes", H + "1,2,3,4,5,6,7\n1,\"7050000,0,0,0,0,0\n", "L3 "},
        {"text after a closing quote", H + "1,\"7\"0,0,0,0,0,0\n", "L2 "},
        {"preset twice", H + "4,1,0,0,0,0,0\n4,2,0,0,0,0,0\n", "L3 preset"},
        {"preset 13", H + "13,1,0,0,0,0,0\n", "L2 preset"},
        {"preset 0", H + "1,1,0,0,0,0,0\n0,1,0,0,0,0,0\n", "L3 preset"},
        {"a missing cell", H + "1,7050000,1000\n", "L2 mode"},
        {"a decimal comma's cell", H + "1,\"7050000,5\",0,0,0,0,0\n", "L2 carrier_hz"},
        {"a fraction", H + "1,7050000,0,0,0,0,1.5\n", "L2 interval_s"},
        {"an empty tone", H + "1,7050000,,0,0,0,0\n", "L2 tone_hz"},
        {"eight cells", H + "1,7050000,0,0,0,0,0,9\n", "L2 "},
        {"no header", "1,7050000,0,0,0,0,0\n", "L1 "},
        {"a header after the origin line that is not ours", "# x\npreset,carrier\n", "L2 "},
        {"header alone", H, "L2 "},
        {"too large to be a set", H + QByteArray(PresetSetFile::MaxBytes, '\n'), "L0 "},
    };
    for (const auto &c : cases)
        EXPECT_EQ(outcome(PresetSetFile::read(c.file)), QString::fromUtf8(c.outcome)) << c.name;
}

TEST(PresetSetFileRead, ReadsBackWhatItWrote) {
    const QList<Row> rows{{1, 7050000, 1000, 2, 0, 0, 0}, {5, 7000000, 0, 16, 7200000, 1000, 10}};
    const QByteArray file =
        PresetSetFile::write(rows, QStringLiteral("KVT 20 serial 1234\nfirmware 2.05"));
    EXPECT_TRUE(file.startsWith("# KVT 20 serial 1234 firmware 2.05\n" + H)) << file.data();
    EXPECT_EQ(outcome(PresetSetFile::read(file)),
              "1 7050000 1000 2 0 0 0 @3; 5 7000000 0 16 7200000 1000 10 @4");
    EXPECT_EQ(
        PresetSetFile::backupName(QStringLiteral("1234"), QDateTime({2026, 12, 9}, {14, 3, 2})),
        "presets-1234-20261209-140302.csv");
    EXPECT_EQ(PresetSetFile::backupName(QStringLiteral("../12"), {}).left(16), "presets-unknown-");
}

TEST(PresetSetFileRows, RulesBeforeSendingAndWhatCountsAsADifference) {
    const qint64 limit = 40000001; // the 40 MHz range
    const struct {
        Row row;
        const char *problemColumn; // nullptr: may be sent
    } rules[] = {
        {{1, 0, 0, 7, 0, 0, 0}, nullptr},                // not in use: left alone, unchecked
        {{1, 40000000, 65535, 3, 0, 0, 0}, nullptr},     // the limits themselves
        {{1, 40000001, 0, 0, 0, 0, 0}, "carrier_hz"},    // above the range
        {{1, 0, 1000, 1, 0, 0, 0}, "carrier_hz"},        // a tone alone is in use
        {{1, 7050000, 65536, 1, 0, 0, 0}, "tone_hz"},    //
        {{1, 7050000, 0, 4, 0, 0, 0}, "mode"},           // 4-14 mean nothing
        {{1, 7050000, 0, 14, 0, 0, 0}, "mode"},          //
        {{1, 7000000, 0, 15, 7000000, 1, 1}, "top_hz"},  // not above the carrier
        {{1, 7000000, 0, 15, 40000001, 1, 1}, "top_hz"}, // beyond the range
        {{1, 7000000, 0, 15, 7200000, 0, 1}, "step_hz"}, //
        {{1, 7000000, 0, 15, 7200000, 1000, 0}, "interval_s"},
        {{1, 7000000, 0, 15, 7200000, 1000, 10}, nullptr},
    };
    for (const auto &r : rules) {
        const std::optional<PresetSetFile::Problem> problem = PresetSetFile::check(r.row, limit);
        EXPECT_EQ(problem ? problem->column : QString(), QString::fromLatin1(r.problemColumn))
            << r.row.carrierHz << " " << r.row.mode;
    }

    const Row plain{2, 3650000, 0, 1, 0, 0, 0}, sweep{5, 7000000, 0, 16, 7200000, 1000, 10};
    EXPECT_FALSE(PresetSetFile::differs(plain, {2, 3650000, 800, 1, 9, 9, 9})) << "no tone set";
    EXPECT_TRUE(PresetSetFile::differs(plain, {2, 3650000, 0, 2, 0, 0, 0}));
    EXPECT_FALSE(PresetSetFile::differs(sweep, {5, 7000000, 0, 15, 7200000, 1000, 10}));
    EXPECT_TRUE(PresetSetFile::differs(sweep, {5, 7000000, 0, 1, 7200000, 1000, 10}))
        << "a plain preset now";
    EXPECT_TRUE(PresetSetFile::differs(sweep, {5, 7000000, 0, 16, 7200000, 1000, 11}));
    EXPECT_EQ(PresetSetFile::fromRecord(5, u"5 7000000 0 16 7200000 1000 10"),
              (Row{5, 7000000, 0, 16, 7200000, 1000, 10}));
    EXPECT_FALSE(PresetSetFile::fromRecord(5, u"4 7000000 0 16 7200000 1000 10"));
    EXPECT_FALSE(PresetSetFile::fromRecord(5, u"5 7000000 0 16"));
}

} // namespace
