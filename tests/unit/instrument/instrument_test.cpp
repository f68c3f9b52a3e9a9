// The Instrument's procedures judge their own requests: what each refuses (range, model,
// no generator, busy) and what goes on the line when it accepts.
#include "instrument/instrument.h"
#include "link/link.h"
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

} // namespace
