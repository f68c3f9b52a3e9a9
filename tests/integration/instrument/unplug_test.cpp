// The generator found over a real pseudo-terminal, then the line taken away under the
// connected program, as when the USB adapter is unplugged.
#include "tests/support/simpanel.h"

#include "instrument/connection.h"
#include "link/link.h"
#include "panel/lamp.h"

#include <QLabel>

namespace {

class LineOnSimulator : public SimulatedPanel {};

TEST_F(LineOnSimulator, DiscoveryFindsTheGeneratorAndThePanelShowsItsValues) {
    sim::SimConfig config;
    config.bootMs = 100;
    config.carrier = 14070000;
    config.modFreq = 800;
    config.modMode = 1;
    ASSERT_NO_FATAL_FAILURE(startPanel(config, 4));
    EXPECT_EQ(record().connected, 1);
    EXPECT_EQ(ui(*window).modelLabel->text(), QStringLiteral("KVT 20"));
    EXPECT_TRUE(runUntil(
        [this] { return ui(*window).carrierReadout->text() == QStringLiteral("14.070.000"); },
        5000));
    EXPECT_EQ(ui(*window).modulationReadout->text(), QStringLiteral("800"));
    EXPECT_EQ(ui(*window).modKindLine->text(), QStringLiteral("Mod. : Still"));
    EXPECT_EQ(record().deviceId, 1234);
    EXPECT_EQ(record().productionDate, QStringLiteral("07.03.2015"));
}

TEST_F(LineOnSimulator, UnpluggedAndPluggedBackTheGeneratorIsConnectedAgain) {
    sim::SimConfig config;
    config.bootMs = 100;
    ASSERT_NO_FATAL_FAILURE(startPanel(config, 2));
    simulator.reset(); // the other end of the line is gone
    ASSERT_TRUE(runUntil([this] { return !instrument->link().isOpen(); }, 5000))
        << "the port reports the lost device and is closed";
    EXPECT_FALSE(ui(*window).readyLamp->isLit());
    EXPECT_FALSE(ui(*window).upButton->isEnabled());
    // A few tries on the missing port open nothing, this port or another.
    EXPECT_FALSE(
        runUntil([this] { return instrument->link().isOpen(); }, 2 * Connection::RetryMs + 200));
    EXPECT_EQ(record().connected, 0);

    config.linkPath = dir.filePath(QStringLiteral("COM2"));
    config.carrier = 3650000; // the generator comes back with another carrier
    simulator = std::make_unique<sim::Simulator>(config);
    ASSERT_TRUE(simulator->start());
    ASSERT_TRUE(runUntil([this] { return ui(*window).readyLamp->isLit(); }, 10000));
    EXPECT_TRUE(runUntil(
        [this] { return ui(*window).carrierReadout->text() == QStringLiteral("3.650.000"); },
        10000))
        << "the poll runs again against the generator";
    EXPECT_TRUE(ui(*window).upButton->isEnabled());
    EXPECT_TRUE(ui(*window).displayWindow->isEnabled());
}

} // namespace
