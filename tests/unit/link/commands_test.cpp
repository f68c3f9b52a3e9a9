#include "link/commands.h"

#include <gtest/gtest.h>

#include "link/presetrecord.h"
#include "tests/support/printers.h"

namespace {

struct CommandCase {
    const char *what;
    QString line;
    const char *expected;
};

// Every line the program sends, byte for byte as the generator expects it (Link adds
// CR LF). Typed values go out untouched, computed ones in plain decimal.
TEST(Commands, EveryLineTheProgramSends) {
    const CommandCase cases[] = {
        {"poll 1", Commands::pollCarrier(), "G"},
        {"poll 2", Commands::pollModulation(), "I"},
        {"poll 3", Commands::pollState(), "J"},
        {"poll 4", Commands::pollStep(), "H"},
        {"serial number", Commands::serialNumberQuery(), "B"},
        {"production date", Commands::productionDateQuery(), "T"},
        {"date stamp, no leading zeros", Commands::stampProductionDate(QDate(2026, 3, 7)),
         "U132 7 3 26"},
        {"date stamp, two-digit fields", Commands::stampProductionDate(QDate(2031, 12, 24)),
         "U132 24 12 31"},
        {"carrier after Up", Commands::setCarrier(7150000), "F7150000"},
        {"carrier below zero after Down", Commands::setCarrier(-10000), "F-10000"},
        {"carrier past 32 bits", Commands::setCarrier(4294967296.0), "F4294967296"},
        {"carrier as typed", Commands::setCarrierAsTyped(QStringLiteral("0070500")), "F0070500"},
        {"modulation as typed", Commands::setModulationAsTyped(QStringLiteral("1000")), "A1000"},
        {"empty typed value", Commands::setModulationAsTyped(QString()), "A"},
        {"modulation mode", Commands::setModulationMode(3), "M3"},
        {"output on", Commands::outputOn(), "1"},
        {"output off", Commands::outputOff(), "0"},
        {"sweep",
         Commands::startSweep(QStringLiteral("7200000"), QStringLiteral("1000"),
                              QStringLiteral("10")),
         "W7200000 1000 10"},
        {"sweep with cancelled dialogs", Commands::startSweep({}, {}, {}), "W  "},
        {"pause", Commands::pauseSweep(), "P"},
        {"save preset", Commands::savePreset(12), "S12"},
        {"recall preset", Commands::recallPreset(1), "R1"},
        {"preset query", Commands::presetQuery(7), "K7"},
        {"Morse at speed 100",
         Commands::keyMorse(Presets::elementLength(100), QStringLiteral("CQ CQ DE TEST")),
         "Q62 CQ CQ DE TEST"},
        {"Morse, empty text", Commands::keyMorse(Presets::elementLength(300), QString()), "Q20 "},
        {"display operator query", Commands::displayOperatorQuery(), "Y"},
        {"coarse step query", Commands::coarseStepQuery(), "V"},
        {"display operator", Commands::setDisplayOperator(3, 39999999), "Z3 39999999"},
        {"display operator off", Commands::setDisplayOperator(0, 0), "Z0 0"},
        {"coarse step", Commands::setCoarseStep(10000000), "X10000000"},
    };
    for (const CommandCase &c : cases)
        EXPECT_EQ(c.line, QString::fromLatin1(c.expected)) << c.what;
}

} // namespace
