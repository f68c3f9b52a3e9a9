// The simulated generator in-process, driven over its pseudo-terminal by a real
// QSerialPort client. Times are checked only with generous bounds.

#include "serialclient.h"
#include "sim/morse.h"
#include "sim/simulator.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <memory>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

const QByteArray kIdentity = "KVT20v2.05";

class SimulatorTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_config.linkPath = m_dir.filePath(QStringLiteral("COM5"));
        m_config.bootMs = 100;
        m_config.logPath = m_dir.filePath(QStringLiteral("sim.log"));
        m_config.presetsPath = m_dir.filePath(QStringLiteral("presets.txt"));
    }

    // Starts the simulator with m_config and connects a client that has read the
    // identity line.
    void connectClient() {
        m_sim = std::make_unique<sim::Simulator>(m_config);
        QString error;
        ASSERT_TRUE(m_sim->start(&error)) << error.toStdString();
        m_client = std::make_unique<SerialClient>(m_config.linkPath);
        ASSERT_TRUE(m_client->open());
        if (!m_config.faults.silent) {
            ASSERT_EQ(m_client->takeLine(), kIdentity);
        }
    }

    QByteArray ask(const QByteArray &command) {
        m_client->send(command);
        return m_client->takeLine();
    }

    QTemporaryDir m_dir;
    sim::SimConfig m_config;
    std::unique_ptr<sim::Simulator> m_sim;
    std::unique_ptr<SerialClient> m_client;
};

// A client on the bare descriptor reads only when told to: what the simulator wrote
// stays queued in the terminal meanwhile.
bool waitQueued(int fd, qsizetype n) {
    return QTest::qWaitFor([&] {
        int queued = 0;
        return ::ioctl(fd, FIONREAD, &queued) == 0 && queued >= n;
    });
}

TEST_F(SimulatorTest, IdentifiesOnEveryOpenWithNothingLeftFromTheLastSession) {
    m_config.bootloaderMs = 0; // what the opener sends at once is a command
    m_sim = std::make_unique<sim::Simulator>(m_config);
    ASSERT_TRUE(m_sim->start());
    QSignalSpy closed(m_sim.get(), &sim::Simulator::clientClosed);
    QSignalSpy received(m_sim.get(), &sim::Simulator::lineReceived);
    const QByteArray path = QFile::encodeName(m_config.linkPath), identity = kIdentity + "\r\n";
    // A session ends with the identity and "#A1000" unread in the terminal, as a reply
    // written between a client's close and the simulator noticing it stays, and a reply
    // pending. The next opener comes once the close was noticed, or at once; it sends
    // at once, and that must not be lost.
    for (const bool atOnce : {false, true}) {
        const int last = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        ASSERT_TRUE(waitQueued(last, identity.size()));
        ASSERT_EQ(::write(last, "I\r", 2), 2);
        ASSERT_TRUE(waitQueued(last, identity.size() + 8)); // "#A1000"
        m_sim->setLatencyMs(300);
        ASSERT_EQ(::write(last, "G\r", 2), 2);
        ASSERT_TRUE(received.wait(2000)); // its reply is pending at the close
        m_sim->setLatencyMs(2);
        ::close(last);
        ASSERT_TRUE(atOnce || closed.wait(2000));

        const int next = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        ASSERT_EQ(::write(next, "B\r", 2), 2);
        ASSERT_TRUE(waitQueued(next, identity.size() + 8)); // "#B1234"
        QTest::qWait(400); // the pending reply would have come by now
        char buffer[256];
        const QByteArray got(buffer, std::max<ssize_t>(0, ::read(next, buffer, sizeof buffer)));
        EXPECT_TRUE(got == identity + "#B1234\r\n" || got == "#B1234\r\n" + identity)
            << (atOnce ? "reopened at once: " : "reopened later: ") << got.toStdString();
        ::close(next);
        ASSERT_TRUE(closed.wait(2000));
    }
}

TEST_F(SimulatorTest, ReopenAtOnceBootsAgain) {
    connectClient();
    for (int i = 0; i < 3; ++i) {
        m_client.reset(); // closes the port
        m_client = std::make_unique<SerialClient>(m_config.linkPath);
        ASSERT_TRUE(m_client->open());
        EXPECT_EQ(m_client->takeLine(), kIdentity) << "reopen " << i;
    }
}

TEST_F(SimulatorTest, AnswersQueriesWithFramesOfThePresentState) {
    m_config.identity = QStringLiteral("KVT11v1.3");
    m_config.deviceId = 4321;
    m_sim = std::make_unique<sim::Simulator>(m_config);
    ASSERT_TRUE(m_sim->start());
    m_client = std::make_unique<SerialClient>(m_config.linkPath);
    ASSERT_TRUE(m_client->open());
    EXPECT_EQ(m_client->takeLine(), "KVT11v1.3");

    const QList<std::pair<QByteArray, QByteArray>> cases = {
        {"G", "#F7050000"},
        {"I", "#A1000"},
        {"J", "#M0"},
        {"H", "#S1"},
        {"B", "#B4321"},
        {"T", "#T7 3 15"},
        {"Y", "#Y00"},
        {"V", "#V1000"},
        {"K1", "#K1 7050000 1000 2 0 0 0"},
        {"K5", "#K5 7000000 0 16 7200000 1000 10"},
        {"K12", "#K12 0 0 0 0 0 0"},
    };
    for (const auto &[command, expected] : cases)
        m_client->send(command);
    const QList<QByteArray> lines = m_client->takeLines(static_cast<int>(cases.size()));
    ASSERT_EQ(lines.size(), cases.size());
    for (qsizetype i = 0; i < cases.size(); ++i)
        EXPECT_EQ(lines[i], cases[i].second) << "reply to " << cases[i].first.constData();
}

TEST_F(SimulatorTest, SettingsAreSilentAndReportedByTheNextQuery) {
    connectClient();
    struct Case {
        QList<QByteArray> commands;
        QByteArray query;
        QByteArray expected;
    };
    const QList<Case> cases = {
        {{"F7100000"}, "G", "#F7100000"},
        {{"F 3500000"}, "G", "#F3500000"},
        {{"F1234abc"}, "G", "#F1234"},
        {{"Fabc", "F-5", "F"}, "G", "#F7050000"},
        {{"A400"}, "I", "#A400"},
        {{"M3"}, "J", "#M3"},
        {{"M9", "M-1", "Mx"}, "J", "#M0"},
        {{"0"}, "H", "#S0"},
        {{"0", "1"}, "H", "#S1"},
        {{"U132 40 12 24", "U132 1", "U1 2 3"}, "T", "#T7 3 15"},
        {{"U132 1 12 24"}, "T", "#T1 12 24"},
        {{"Z1 455000", "X500"}, "Y", "#Y1455000"},
        {{"Z1 455000", "X500"}, "V", "#V500"},
        {{"K0", "K13", "Kx", "?", "Lorem ipsum"}, "G", "#F7050000"},
    };
    for (const Case &c : cases) {
        // Each case starts from the power-on state.
        m_sim->setCarrier(7050000);
        m_sim->setModFreq(1000);
        m_sim->setModMode(0);
        m_sim->setOutputOn(true);
        for (const QByteArray &command : c.commands)
            m_client->send(command);
        EXPECT_EQ(ask(c.query), c.expected) << c.commands.join(',').constData();
    }
    EXPECT_EQ(m_client->raw().count('#'), cases.size()); // no replies to the settings
}

TEST_F(SimulatorTest, SavedPresetReadsBackAndIsKeptInThePresetsFile) {
    connectClient();
    for (const char *command : {"F7123000", "A700", "M2", "S7"})
        m_client->send(command);
    EXPECT_EQ(ask("K7"), "#K7 7123000 700 2 0 0 0");

    QFile file(m_config.presetsPath);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> records = file.readAll().split('\n');
    ASSERT_GE(records.size(), 12);
    EXPECT_EQ(records[6], "7 7123000 700 2 0 0 0");

    // A second simulator on the same file starts with the saved preset.
    m_client->close();
    m_sim.reset();
    m_config.linkPath = m_dir.filePath(QStringLiteral("COM6"));
    sim::Simulator second(m_config);
    EXPECT_EQ(second.preset(7), (sim::Preset{7, 7123000, 700, 2, 0, 0, 0}));
    EXPECT_EQ(second.preset(5), (sim::Preset{5, 7000000, 0, 16, 7200000, 1000, 10}));
}

TEST_F(SimulatorTest, RecallSetsThePresetAndASweepPresetStartsItsSweep) {
    connectClient();
    m_client->send("F1000");
    m_client->send("R3");
    EXPECT_EQ(ask("G"), "#F14070000");
    EXPECT_EQ(ask("I"), "#A800");
    EXPECT_EQ(ask("J"), "#M1");

    m_client->send("R9"); // empty: nothing changes
    EXPECT_EQ(ask("G"), "#F14070000");

    m_client->send("R5");
    EXPECT_EQ(m_client->takeLine(), "#W7000000");
    EXPECT_TRUE(m_sim->sweeping());
    m_client->send("0"); // ends the sweep, output stays on
    QList<QByteArray> lines;
    ASSERT_TRUE(QTest::qWaitFor([&] {
        lines += m_client->takeLines(1, 100);
        return !lines.isEmpty() && lines.last().startsWith("#F");
    }));
    EXPECT_EQ(lines.last(), "#F7000000");
    EXPECT_FALSE(m_sim->sweeping());
    EXPECT_EQ(ask("H"), "#S1");
}

TEST_F(SimulatorTest, SweepReportsRisingPositionsThenTheUnchangedCarrier) {
    m_config.carrier = 7000000;
    connectClient();
    m_client->send("W7000100 10 1"); // 10 steps of 100 ms
    QList<QByteArray> frames;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            frames += m_client->takeLines(1, 50);
            return !frames.isEmpty() && frames.last().startsWith("#F");
        },
        5000));
    EXPECT_EQ(frames.last(), "#F7000000");
    frames.removeLast();
    ASSERT_GE(frames.size(), 5);
    EXPECT_EQ(frames.first(), "#W7000000");
    qint64 previous = -1;
    for (const QByteArray &frame : frames) {
        ASSERT_TRUE(frame.startsWith("#W")) << frame.constData();
        const qint64 position = frame.mid(2).toLongLong();
        EXPECT_GT(position, previous);
        EXPECT_LT(position, 7000100);
        previous = position;
    }
    EXPECT_FALSE(m_sim->sweeping());
    EXPECT_EQ(ask("G"), "#F7000000");
}

TEST_F(SimulatorTest, PollDuringASweepKeepsTheSweepStateAndPauseHoldsIt) {
    m_config.carrier = 7000000;
    m_config.latencyMs = 0;
    connectClient();
    m_client->send("W7200000 1000 20");
    EXPECT_EQ(m_client->takeLine(), "#W7000000");
    m_client->send("G");
    EXPECT_TRUE(m_client->takeLine().startsWith("#W"));

    m_client->send("P");
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_sim->sweepPaused(); }));
    m_client->takeLines(100, 200); // whatever was on its way
    const qint64 held = m_sim->sweepPosition();
    m_client->clearRaw();
    QTest::qWait(600); // six steps of a running sweep
    EXPECT_EQ(m_client->raw(), QByteArray());
    EXPECT_EQ(m_sim->sweepPosition(), held);
    EXPECT_EQ(ask("G"), "#W" + QByteArray::number(held));

    m_client->send("P");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !m_sim->sweepPaused(); }));
    EXPECT_TRUE(m_sim->sweeping());
}

TEST_F(SimulatorTest, FastSweepReportsAreCoalesced) {
    m_config.carrier = 1000000;
    connectClient();
    m_client->send("W1100000 100 1"); // 1000 steps in one second
    QList<QByteArray> frames;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            frames += m_client->takeLines(1, 50);
            return !frames.isEmpty() && frames.last().startsWith("#F");
        },
        5000));
    EXPECT_GE(frames.size(), 3);
    EXPECT_LE(frames.size(), 1000 / 50 + 3); // at most one report per 50 ms
}

TEST_F(SimulatorTest, UnusableSweepParametersGiveTheCarrierAndNoSweep) {
    connectClient();
    for (const char *command : {"W", "W  ", "Wx y z", "W8000000 0 10", "W8000000 1000 0",
                                "W7050000 1000 10", "W100 10 1", "W8000000 1000"}) {
        EXPECT_EQ(ask(command), "#F7050000") << command;
        EXPECT_FALSE(m_sim->sweeping()) << command;
    }
}

TEST(SimulatorMorse, DurationInElements) {
    const QList<std::pair<QByteArray, qint64>> cases = {
        {"", 0},       {"E", 1},
        {"T", 3},      {"EE", 5},
        {"E E", 9},    {"E  E", 16},
        {" E ", 1},    {"e", 1},
        {"0", 19},     {"SOS", 27},
        {"PARIS", 43}, {"E~E", 9},
        {"~~~", 0},    {"CQ DE", 11 + 3 + 13 + 7 + 7 + 3 + 1},
    };
    for (const auto &[text, units] : cases)
        EXPECT_EQ(sim::morseDurationUnits(text), units) << text.constData();
}

TEST_F(SimulatorTest, KeyingReportsQAfterTheMorseDuration) {
    m_config.latencyMs = 0;
    connectClient();
    // PARIS is 43 elements: 860 ms at 20 ms per element.
    const qint64 sent = m_client->now();
    m_client->send("Q20 PARIS");
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_sim->telegraphBusy(); }));
    EXPECT_EQ(m_sim->telegraphText(), QStringLiteral("PARIS"));
    EXPECT_EQ(m_client->takeLine(5000), "#Q");
    const qint64 took = m_client->lastTakenTime() - sent;
    EXPECT_GE(took, 800);
    EXPECT_FALSE(m_sim->telegraphBusy());
}

TEST_F(SimulatorTest, NewTextReplacesTheOneBeingKeyed) {
    connectClient();
    m_client->send("Q100 PARIS PARIS"); // over nine seconds
    m_client->send("Q10 E");
    EXPECT_EQ(m_client->takeLine(3000), "#Q");
    QTest::qWait(300);
    EXPECT_EQ(m_client->raw().count("#Q"), 1);
    EXPECT_FALSE(m_sim->telegraphBusy());
}

TEST_F(SimulatorTest, GarbageNeverStopsItAndOversizeLinesAreDropped) {
    connectClient();
    QRandomGenerator random(7);
    QByteArray garbage(4000, '\0');
    for (char &c : garbage)
        c = static_cast<char>(random.bounded(256));
    garbage.replace('\r', 'x').replace('\n', 'x');
    // An oversize line whose tail would read as a command: the whole line goes.
    m_client->send(garbage + "F1");
    m_client->send(QByteArray(1500, 'F'));
    for (int i = 0; i < 20; ++i)
        m_client->send(garbage.mid(i * 50, 50));
    m_client->send("\r\n\r\n");
    // Whatever the garbage asked for has been answered once the answer to this has come.
    m_client->send("K12");
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            const auto lines = m_client->takeLines(1, 0);
            return !lines.isEmpty() && lines.first().startsWith("#K12 ");
        },
        10000));
    m_sim->setCarrier(7050000);

    EXPECT_EQ(ask("G"), "#F7050000");
    for (const auto &line : m_sim->receivedLines())
        EXPECT_LE(line.text.size(), 1000);
}

TEST_F(SimulatorTest, ReceivedLinesAreReportedWithTheirTimes) {
    connectClient();
    QSignalSpy spy(m_sim.get(), &sim::Simulator::lineReceived);
    m_client->send("F7000000");
    m_client->send("G");
    m_client->takeLine();
    ASSERT_EQ(spy.size(), 2);
    EXPECT_EQ(spy.at(0).at(0).toString(), QStringLiteral("F7000000"));
    const auto lines = m_sim->receivedLines();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[1].text, QStringLiteral("G"));
    EXPECT_LE(lines[0].ms, lines[1].ms);
    EXPECT_LE(lines[1].ms, m_sim->elapsedMs());
}

TEST_F(SimulatorTest, PacedRepliesTakeAtLeastTheLineTime) {
    m_config.latencyMs = 0;
    connectClient();
    const qint64 sent = m_client->now();
    for (int i = 0; i < 24; ++i)
        m_client->send("K5");
    const QList<QByteArray> lines = m_client->takeLines(24);
    ASSERT_EQ(lines.size(), 24);
    // 24 frames of 36 bytes at 86.8 us per byte: 75 ms on the line.
    EXPECT_GE(m_client->lastTakenTime() - sent, 70);
}

TEST_F(SimulatorTest, SilentGeneratorSendsNothing) {
    m_config.faults.silent = true;
    m_config.bootloaderMs = 0; // no bootloader window to take the bytes
    connectClient();
    m_client->send("G");
    m_client->send("K1");
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_sim->receivedLines().size() == 2; }, 10000))
        << "it still listens";
    // A reply would have followed within its latency (2 ms); nothing is on its way.
    QTest::qWait(300);
    EXPECT_EQ(m_client->raw(), QByteArray());
}

TEST_F(SimulatorTest, SplitAndNoisyFramesCarryTheSameFrames) {
    const QByteArray expected = "#F7050000\r\n#A1000\r\n#K5 7000000 0 16 7200000 1000 10\r\n";
    for (const bool noise : {false, true}) {
        SCOPED_TRACE(noise ? "split+noise" : "split");
        m_config.faults.split = true;
        m_config.faults.noise = noise;
        m_config.linkPath = m_dir.filePath(noise ? QStringLiteral("COM7") : QStringLiteral("COM8"));
        connectClient();
        for (const char *command : {"G", "I", "K5"})
            m_client->send(command);
        // Three frames, each up to its CR LF.
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                const QByteArray raw = m_client->raw();
                return raw.count('#') == 3 && raw.indexOf("\r\n", raw.lastIndexOf('#')) >= 0;
            },
            10000));
        QByteArray frames = m_client->raw();
        ASSERT_TRUE(frames.startsWith(kIdentity + "\r\n"));
        if (!noise)
            frames.remove(0, kIdentity.size() + 2);
        if (noise) {
            // Noise never holds '#', so each '#' starts a real frame that runs
            // intact up to its CR LF.
            QByteArray kept;
            for (qsizetype at = frames.indexOf('#'); at >= 0; at = frames.indexOf('#', at + 1))
                kept += frames.mid(at, frames.indexOf("\r\n", at) + 2 - at);
            EXPECT_GT(frames.size(), kept.size() + kIdentity.size() + 2);
            frames = kept;
        }
        EXPECT_EQ(frames, expected);
        m_client.reset();
        m_sim.reset();
    }
}

TEST_F(SimulatorTest, DroppedAndLateRepliesAtRunTime) {
    m_config.latencyMs = 0;
    connectClient();
    sim::Faults faults;
    faults.dropEvery = 2;
    m_sim->setFaults(faults);
    for (int i = 0; i < 6; ++i)
        m_client->send("G");
    m_client->takeLines(3);
    QTest::qWait(300);
    EXPECT_EQ(m_client->raw().count('#'), 3);

    faults = {};
    faults.lateMs = 400;
    m_sim->setFaults(faults);
    const qint64 sent = m_client->now();
    EXPECT_EQ(ask("G"), "#F7050000");
    EXPECT_GE(m_client->lastTakenTime() - sent, 380);

    faults = {};
    faults.silent = true;
    m_sim->setFaults(faults);
    m_client->clearRaw();
    m_client->send("G");
    QTest::qWait(300);
    EXPECT_EQ(m_client->raw(), QByteArray());
}

TEST_F(SimulatorTest, LinkReplacesAnOldLinkButNeverAFileAndGoesAway) {
    ASSERT_EQ(::symlink("/nonexistent", QFile::encodeName(m_config.linkPath).constData()), 0);
    {
        sim::Simulator simulator(m_config);
        ASSERT_TRUE(simulator.start());
        EXPECT_TRUE(simulator.ptyPath().startsWith(QStringLiteral("/dev/pts/")));
        EXPECT_EQ(QFileInfo(m_config.linkPath).symLinkTarget(), simulator.ptyPath());
    }
    EXPECT_FALSE(QFileInfo(m_config.linkPath).isSymLink());

    QFile file(m_config.linkPath);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    sim::Simulator simulator(m_config);
    QString error;
    EXPECT_FALSE(simulator.start(&error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(QFileInfo(m_config.linkPath).isFile());
}

} // namespace
