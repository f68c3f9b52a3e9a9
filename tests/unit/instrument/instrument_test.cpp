// The Instrument's procedures judge their own requests: what each refuses (range, model,
// no generator, busy) and what goes on the line when it accepts.
#include "instrument/connection.h"
#include "instrument/connectionlog.h"
#include "instrument/instrument.h"
#include "link/link.h"
#include "link/procedure.h"
#include "link/serialport.h"
#include "tests/support/fakes.h"
#include "tests/support/instrumentaccess.h"
#include "tests/support/manualclock.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using Outcome = Instrument::Outcome;

struct Case {
    const char *name;
    std::function<void(DeviceState &)> given; // the record as the generator left it
    std::function<Outcome(Instrument &)> request;
    Outcome outcome;
    QStringList sent;
    bool connected = true;
};

TEST(InstrumentOutcomes, EachProcedureJudgesItsOwnRequest) {
    const auto kvt20 = [](DeviceState &s) { s.modelName = QStringLiteral("KVT 20"); };
    const Case cases[] = {
        {"carrier in the 40 MHz range",
         {},
         [](Instrument &i) { return i.tuneCarrier(7050000); },
         Outcome::Done,
         {"F7050000"}},
        {"carrier above 40 MHz",
         {},
         [](Instrument &i) { return i.tuneCarrier(40000001); },
         Outcome::OutOfRange,
         {}},
        {"carrier in the 70 MHz range",
         [](DeviceState &s) { s.wideRange = 1; },
         [](Instrument &i) { return i.tuneCarrier(70000000); },
         Outcome::Done,
         {"F70000000"}},
        {"carrier of a range not known",
         [](DeviceState &s) { s.wideRange = 2; },
         [](Instrument &i) { return i.tuneCarrier(1000); },
         Outcome::UnknownRange,
         {}},
        {"carrier without a generator",
         {},
         [](Instrument &i) { return i.tuneCarrier(1000); },
         Outcome::NoGenerator,
         {},
         false},
        {"Up while sweeping",
         [](DeviceState &s) { s.sweeping = true; },
         [](Instrument &i) { return i.tuneUp(10000); },
         Outcome::Busy,
         {}},
        {"Down below 1 Hz",
         [](DeviceState &s) { s.carrierFreq = 5000; },
         [](Instrument &i) { return i.tuneDown(10000); },
         Outcome::OutOfRange,
         {}},
        {"tone of 65536 Hz",
         {},
         [](Instrument &i) { return i.setTone(65536); },
         Outcome::OutOfRange,
         {}},
        {"Morse on a KVT 10",
         [](DeviceState &s) { s.modelName = QStringLiteral("KVT 10"); },
         [](Instrument &i) { return i.keyMorse(QStringLiteral("CQ")); },
         Outcome::NotThisModel,
         {}},
        {"Morse while keying",
         [](DeviceState &s) { s.modelName = QStringLiteral("KVT 20"), s.telegraphBusy = true; },
         [](Instrument &i) { return i.keyMorse(QStringLiteral("CQ")); },
         Outcome::Busy,
         {}},
        {"Morse at speed 100",
         kvt20,
         [](Instrument &i) { return i.keyMorse(QStringLiteral("CQ")); },
         Outcome::Done,
         {"Q62 CQ"}},
        {"Morse speed 301",
         {},
         [](Instrument &i) { return i.setMorseSpeed(301); },
         Outcome::OutOfRange,
         {}},
        {"pause without a sweep",
         {},
         [](Instrument &i) { return i.pauseSweep(); },
         Outcome::NoSweep,
         {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir folder;
        ManualClock clock;
        FakeSerialPort port;
        port.openResults[2] = 0;
        Instrument instrument(port, clock, folder.path(), [] {});
        DeviceState &record = InstrumentTestAccess::record(instrument);
        record.portNumber = 2;
        record.telegraphSpeed = 100;
        record.carrierFreq = 7050000;
        ASSERT_EQ(instrument.link().openPort(), 0);
        if (c.connected) {
            port.receive("KVT20v2.05\r\n");
            clock.advance(0);
            ASSERT_TRUE(instrument.connected());
        }
        record.modelName.clear(); // each case names the model it needs
        if (c.given)
            c.given(record);
        port.takeWritten();
        EXPECT_EQ(c.request(instrument), c.outcome);
        EXPECT_EQ(port.takeLines(), c.sent);
    }
}

// Discovery started as the program without a window starts it.
void startDiscovery(Instrument &instrument) {
    runProcedure([](Connection &c) -> QCoro::Task<> { co_await c.connectGenerator(); }(
                                       instrument.connection()),
                 [](const QString &what) { FAIL() << what.toStdString(); });
}

// Without a window discovery never gives up: each pass that finds nothing is summed up
// in the failure window's texts, the next starts at COM2 10 s later, and a pass that
// says what the one before it said adds nothing to the log. A generator found, lost
// and back gives one line each.
TEST(DiscoveryWithoutAWindow, PassesRepeatEvery10sAndTheLogSaysOnlyWhatChanged) {
    QTemporaryDir folder;
    ManualClock clock;
    FakeSerialPort port;
    port.openResults[3] = SerialPort::PortBusy;
    port.openResults[4] = 0; // silent until the generator is switched on
    Instrument instrument(port, clock, folder.path(), [] { FAIL() << "never ends itself"; });
    QStringList log;
    ConnectionLog windows([&log](const QString &line) { log << line; }, false,
                          ConnectionTexts::Platform::Linux);
    instrument.setConnectionWindows(&windows);
    InstrumentTestAccess::record(instrument).portNumber = 3; // saved in KVT.INI
    startDiscovery(instrument);

    const QString busy = QStringLiteral("KVT: COM3: in use by another program");
    const QString trying = QStringLiteral("KVT: trying COM4 (/dev/fake4)");
    const QString rest = QStringLiteral("    Ports found but not usable:\n"
                                        "      COM3: in use by another program\n"
                                        "      COM4: no answer from a generator (/dev/fake4)\n"
                                        "    Check the generator's USB cable. \"ls -l "
                                        "/dev/serial/by-id\" lists the serial adapters the "
                                        "system sees; \"sudo dmesg\" (or \"journalctl -k\") "
                                        "shows what the kernel logged when the adapter was "
                                        "plugged in.");
    const QString head = QStringLiteral("KVT: no generator found; searching again from COM2 "
                                        "every 10 s\n    ");
    const QString fromSaved = head +
                              QStringLiteral("Ports tried: COM3 to COM64, upward from the port "
                                             "saved in KVT.INI.\n    Ports below COM3 were not "
                                             "tried.\n") +
                              rest;
    const QString fromCom2 = head + QStringLiteral("Ports tried: COM2 to COM64.\n") + rest;
    clock.advance(6000);
    EXPECT_EQ(log, (QStringList{busy, trying, fromSaved}));
    const size_t firstPass = port.openAttempts.size();
    EXPECT_EQ(port.openAttempts.back(), 64);
    clock.advance(9999);
    EXPECT_EQ(port.openAttempts.size(), firstPass) << "the pause is 10 s";
    clock.advance(1);
    EXPECT_EQ(port.openAttempts.at(firstPass), 2);
    clock.advance(6000); // the second pass, from COM2: a new summary, the same ports
    EXPECT_EQ(log, (QStringList{busy, trying, fromSaved, fromCom2}));
    clock.advance(10000 + 6000); // the third says the same again: nothing
    EXPECT_EQ(log.size(), 4);

    clock.advance(10000);
    ASSERT_TRUE(port.isOpen());
    port.receive("KVT20v2.05\r\n#B4321\r\n");
    clock.advance(3000);
    port.unplug();
    clock.advance(1500);
    port.receive("KVT20v2.05\r\n");
    clock.advance(3000);
    EXPECT_EQ(log.mid(4),
              (QStringList{"KVT: connected to the generator on COM4 (/dev/fake4): KVT 20, serial "
                           "number 4321, firmware 2.05",
                           "KVT: the line to the generator on COM4 (/dev/fake4) is lost; trying "
                           "it again",
                           "KVT: the generator is back on COM4 (/dev/fake4): KVT 20, serial "
                           "number 4321, firmware 2.05"}));
    instrument.setConnectionWindows(nullptr);

    // Ending during the pause between passes ends discovery quietly, with no next pass.
    FakeSerialPort noPorts;
    auto ending = std::make_unique<Instrument>(noPorts, clock, folder.path(), [] {});
    ending->setConnectionWindows(&windows);
    startDiscovery(*ending);
    clock.advance(5000);
    ending.reset();
    clock.advance(10000);
    EXPECT_EQ(noPorts.openAttempts.size(), 64u) << "COM1 to COM64 once";
}

} // namespace
