// The real serial port: COM numbers mapped to devices, the error numbers of a failed
// open, and the bytes that reach the generator.
#include "link/devicestate.h"
#include "link/link.h"
#include "link/serialport.h"
#include "link/timesource.h"
#include "sim/simulator.h"
#include "tests/support/simpanel.h"

#include <QDir>
#include <QFile>
#include <QSerialPort>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

TEST(PortNames, ALinkInTheProgramFolderWinsAndTheSystemDevicesAreNumberedUsbFirst) {
    QTemporaryDir dir;
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/null"), dir.filePath(QStringLiteral("COM7"))));
    const PortNames names(dir.path());
    EXPECT_EQ(names.systemName(7), dir.filePath(QStringLiteral("COM7")));
    EXPECT_EQ(names.systemName(0), QString());
    EXPECT_EQ(names.systemName(-3), QString());

    EXPECT_EQ(PortNames::orderDevices({"/dev/ttyS0", "/dev/ttyUSB10", "/dev/ttyS1", "/dev/ttyACM0",
                                       "/dev/ttyUSB2", "/dev/ttyS10", "/dev/ttyS2"}),
              (QStringList{"/dev/ttyACM0", "/dev/ttyUSB2", "/dev/ttyUSB10", "/dev/ttyS0",
                           "/dev/ttyS1", "/dev/ttyS2", "/dev/ttyS10"}));
}

TEST(SerialPort, OpenGivesTheErrorNumbersDiscoveryInterprets) {
    QTemporaryDir dir;
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/null"), dir.filePath(QStringLiteral("COM7"))));
    ASSERT_TRUE(
        QFile::link(dir.filePath(QStringLiteral("gone")), dir.filePath(QStringLiteral("COM8"))));
    QtSerialPort port(std::make_shared<PortNames>(dir.path()));
    EXPECT_EQ(port.open(65), SerialPort::InvalidPort) << "no device numbered that high";
    EXPECT_EQ(port.open(8), SerialPort::InvalidPort) << "a link to nothing";
    EXPECT_EQ(port.open(7), SerialPort::CannotConfigure) << "not a serial line";
    EXPECT_FALSE(port.isOpen());
}

class PortOnSimulator : public testing::Test {
protected:
    void SetUp() override {
        sim::SimConfig config;
        config.linkPath = dir.filePath(QStringLiteral("COM3"));
        config.bootMs = 50;
        simulator = std::make_unique<sim::Simulator>(config);
        ASSERT_TRUE(simulator->start());
    }
    QTemporaryDir dir;
    std::unique_ptr<sim::Simulator> simulator;
};

TEST_F(PortOnSimulator, CommandsGoOutAsTheirTextAndCrLfAndAnOpenPortStaysAsItIs) {
    DeviceState state;
    state.portNumber = 3;
    QtTimeSource time;
    QtSerialPort port(std::make_shared<PortNames>(dir.path()));
    Link link(state, port, time);
    ASSERT_EQ(link.openPort(), 0);
    ASSERT_TRUE(runUntil([&] { return state.connected == 1; }, 5000));
    EXPECT_EQ(state.modelName, QStringLiteral("KVT 20"));

    state.portNumber = 9; // openPort on an open port changes nothing
    EXPECT_EQ(link.openPort(), 0);
    EXPECT_EQ(port.systemName(), dir.filePath(QStringLiteral("COM3")));

    QStringList raw;
    QObject::connect(simulator.get(), &sim::Simulator::lineReceived, simulator.get(),
                     [&](const QString &line) { raw << line; });
    link.sendCommand(QStringLiteral("F7050000"));
    link.sendCommand(QStringLiteral("W7200000 1000 10"));
    link.sendCommand(QStringLiteral("U132 7 3 15"));
    ASSERT_TRUE(runUntil([&] { return raw.size() == 3; }, 5000));
    EXPECT_EQ(raw, (QStringList{"F7050000", "W7200000 1000 10", "U132 7 3 15"}));

    // A second program cannot take the port while it is open.
    QtSerialPort other(std::make_shared<PortNames>(dir.path()));
    EXPECT_NE(other.open(3), 0);

    link.closePort();
    EXPECT_FALSE(link.isOpen());
    link.sendCommand(QStringLiteral("G")); // dropped while closed, without error
}

TEST_F(PortOnSimulator, ErrorsOfAGoneDeviceCloseThePortOthersLeaveItOpen) {
    // Which error the port reports for a hang-up depends on the system: a read that
    // returns nothing is a ReadError (with a stale errno it may be a ResourceError),
    // and a write into a gone device fails. A pseudo-terminal refuses DTR with
    // UnsupportedOperationError at every open: that is no loss.
    struct Case {
        QSerialPort::SerialPortError error;
        bool lost;
    };
    QtSerialPort port(std::make_shared<PortNames>(dir.path()));
    for (const Case c :
         {Case{QSerialPort::UnsupportedOperationError, false},
          Case{QSerialPort::TimeoutError, false}, Case{QSerialPort::ReadError, true},
          Case{QSerialPort::WriteError, true}, Case{QSerialPort::ResourceError, true}}) {
        ASSERT_EQ(port.open(3), 0);
        bool lost = false;
        const QMetaObject::Connection watch =
            QObject::connect(&port, &SerialPort::lost, &port, [&] { lost = true; });
        Q_EMIT port.findChild<QSerialPort *>()->errorOccurred(c.error);
        runUntil([&] { return lost; }, c.lost ? 5000 : 200);
        EXPECT_EQ(lost, c.lost) << c.error;
        EXPECT_EQ(port.isOpen(), !c.lost) << c.error;
        QObject::disconnect(watch);
        port.close();
    }
}

// Port numbers that the system's numbering maps to another device meanwhile.
class MovingPortNames final : public PortNames {
public:
    using PortNames::PortNames;
    QString systemName(int) const override { return device; }
    QString device;
};

TEST_F(PortOnSimulator, AHungUpLineIsLostAtOnceAndOnlyItsOwnDeviceIsOpenedAgain) {
    // The far end goes away while nothing is being sent: the reads that then fail
    // must close the port, not leave it to some later write.
    auto names = std::make_shared<MovingPortNames>(dir.path());
    names->device = dir.filePath(QStringLiteral("COM3"));
    QtSerialPort port(names);
    ASSERT_EQ(port.open(3), 0);
    ASSERT_TRUE(runUntil([&] { return simulator->clientConnected(); }, 5000));
    bool lost = false;
    QObject::connect(&port, &SerialPort::lost, &port, [&] { lost = true; });
    simulator.reset();
    EXPECT_TRUE(runUntil([&] { return lost; }, 5000));
    EXPECT_FALSE(port.isOpen());

    // While the adapter is away the numbering moves: COM3 now names another device.
    sim::SimConfig otherConfig;
    otherConfig.linkPath = dir.filePath(QStringLiteral("other"));
    sim::Simulator other(otherConfig);
    ASSERT_TRUE(other.start());
    names->device = otherConfig.linkPath;
    EXPECT_EQ(port.reopen(), SerialPort::InvalidPort);
    EXPECT_FALSE(port.isOpen());

    sim::SimConfig config;
    config.linkPath = dir.filePath(QStringLiteral("COM3"));
    simulator = std::make_unique<sim::Simulator>(config);
    ASSERT_TRUE(simulator->start());
    EXPECT_EQ(port.reopen(), SerialPort::NoError) << "the adapter is back under its own name";
    EXPECT_EQ(port.systemName(), config.linkPath);
    EXPECT_FALSE(other.clientConnected());
}

} // namespace
