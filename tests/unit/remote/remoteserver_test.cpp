// The remote server on a generator played in memory: what a client's lines put on the
// line, what the client reads back and what its error queue holds.
#include "remote/remoteserver.h"

#include "instrument/instrument.h"
#include "link/devicestate.h"
#include "link/link.h"
#include "tests/support/fakes.h"
#include "tests/support/instrumentaccess.h"
#include "tests/support/wait.h"

#include <QTcpSocket>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <stdexcept>
#include <sys/socket.h>

namespace {

// How the generator behaves, and what the program's record says beforehand.
struct Given {
    bool sweeping = false, on = true;
    bool ignoresOneWhileSweeping = false, ignoresOutput = false; // "0" and "1"
    int16_t recordOutput = 1;
    bool recordSweeping = false, frameOpen = false; // the radiotelegraph frame
    bool storesSweeps = false; // S during a sweep stores a sweep preset (mode 16)
};

struct Rig {
    Rig() {
        state.portNumber = 2;
        port.openResults[2] = 0;
        device.link().openPort();
        port.receive("KVT20v2.05\r\n");
        clock.advance(100);
        QString error;
        EXPECT_TRUE(server.listen(0, {}, &error)) << error.toStdString();
        client.connectToHost(QHostAddress::LocalHost, server.port());
        EXPECT_TRUE(runUntil([&] { return server.clientCount() == 1; }, 5000));
        port.takeWritten();
    }
    // The generator answers at once, as the simulator does.
    void hear() {
        for (const QString &line : port.takeLines()) {
            heard.append(line);
            const QByteArray F = "#F" + QByteArray::number(carrier, 'f', 0);
            const QByteArray W = "#W" + QByteArray::number(carrier, 'f', 0);
            const bool switches = !is.ignoresOutput;
            const QHash<QString, QByteArray> questions{{"G", is.sweeping ? W : F},
                                                       {"H", is.on ? "#S1" : "#S0"},
                                                       {"I", "#A" + QByteArray::number(tone)},
                                                       {"J", "#M" + QByteArray::number(mode)}};
            QByteArray reply = questions.value(line);
            const int n = line.mid(1).toInt();
            QString &preset = presets[n > 0 && n <= 12 ? n - 1 : 0];
            if (line.startsWith(u'K'))
                reply =
                    "#K" +
                    (preset.isEmpty() ? QString::number(n) + " 0 0 0 0 0 0" : preset).toLatin1();
            else if (line.startsWith(u'S'))
                preset = QStringLiteral("%1 %2 %3 ").arg(n).arg(carrier, 0, 'f', 0).arg(tone) +
                         (is.sweeping && is.storesSweeps ? "16 " + sweep
                                                         : QString::number(mode) + " 0 0 0");
            else if (line.startsWith(u'A') || line.startsWith(u'M'))
                (line[0] == u'A' ? tone : mode) = line.mid(1).toInt();
            if (line == u"0" && switches && is.sweeping)
                is.sweeping = false, reply = F;
            else if (line == u"0" && switches)
                is.on = false;
            else if (line == u"1" && switches && !(is.sweeping && is.ignoresOneWhileSweeping))
                is.on = true;
            else if (line.startsWith(u'F'))
                carrier = line.mid(1).toDouble(), is.sweeping = false;
            else if (line.startsWith(u'W'))
                is.sweeping = line.mid(1).section(u' ', 0, 0).toDouble() > carrier,
                reply = is.sweeping ? W : F, sweep = line.mid(1);
            if (!reply.isEmpty())
                port.receive(reply + "\r\n"), clock.advance(0);
        }
    }
    // Runs until the server has carried out every line it has, the clock moving on
    // while nothing answers.
    void settle(const std::function<bool()> &done) {
        int quiet = 0;
        runUntil(
            [&] {
                hear();
                quiet = server.idle() && done() ? quiet + 1 : 0;
                if (quiet == 0)
                    clock.advance(10);
                return quiet > 20;
            },
            20000);
    }
    QByteArray ask(const QByteArray &line) {
        client.write(line + '\n');
        settle([&] { return client.canReadLine(); });
        return client.readLine().trimmed();
    }

    ManualClock clock;
    FakeSerialPort port;
    Instrument device{port, clock, QString(), [] {}};
    DeviceState &state = InstrumentTestAccess::record(device);
    RemoteServer server{device};
    QTcpSocket client;
    Given is;
    double carrier = 7050000;
    int tone = 1000, mode = 1;
    QString sweep;       // the last W's values
    QString presets[12]; // the K records ("n carrier tone mode top step interval")
    QStringList heard;   // by the generator
};

struct Row {
    Given given;
    QByteArray lines; // what the client writes
    QStringList out;  // the lines that reach the generator
    QByteArray answers = {};
    QByteArray errors = {}; // SYSTem:ERRor? in turn
};

const QByteArray SweepValues = "FREQ:STOP 7.2MHZ;:SWE:STEP 1kHz;TIME 10;";
// A preset written by MEM:PRES:DATA: the twelve read first, the settings to put back
// asked, the output off, the preset's commands, S and its read-back, then everything
// put back and asked again.
QStringList presetWritten(const QStringList &commands) {
    QStringList lines;
    for (int k = 1; k <= 12; ++k)
        lines << QStringLiteral("K%1").arg(k);
    return lines + QStringList{"G", "I", "J", "H", "0"} + commands +
           QStringList{"F7050000", "A1000", "M1", "1", "G", "I", "J"};
}

const Row Rows[] = {
    // Queries of the kept sweep values change nothing, and say when none is kept.
    {{}, "FREQ:STOP?;:SWE:STEP?;TIME?", {}, "9.91E37;9.91E37;9.91E37", "-230 -230 -230"},
    {{},
     SweepValues + ":FREQ:STOP?;:SWE:STEP?;TIME?;STAT ON",
     {"G", "W7200000 1000 10", "G"},
     "7200000;1000;10"},
    // Output and sweep from the generator's answers, whatever the record says.
    {{.on = false}, "OUTP ON", {"G", "H", "1", "H"}},
    {{.recordOutput = 0}, "OUTP OFF", {"G", "H", "0", "H"}},
    {{.sweeping = true, .on = false}, "OUTP OFF", {"G", "0", "H"}},
    {{.sweeping = true, .on = false, .ignoresOneWhileSweeping = true},
     "OUTP ON",
     {"G", "0", "H", "1", "H"}},
    {{.recordSweeping = true}, "SWE OFF", {"G"}},
    {{.sweeping = true}, "SWE OFF", {"G", "0", "G"}},
    {{.ignoresOutput = true}, "OUTP OFF", {"G", "H", "0", "H"}, {}, "-240"},
    {{.sweeping = true, .ignoresOutput = true}, "SWE OFF", {"G", "0", "G", "G"}, {}, "-240"},
    {{.frameOpen = true}, "OUTP ON", {}, {}, "-221"},
    // A query alone asks only its own letter.
    {{}, "FREQ?;AM:INT:FREQ?;:AM:MODE?;:OUTP?", {"G", "I", "J", "H"}, "7050000;1000;STIL;1"},
    // Sweep values checked; the position of a sweep just started is its start.
    {{}, "FREQ:STOP 99MHZ;:FREQ:STOP?", {}, "9.91E37", "-222 -230"},
    {{}, "FREQ:STOP 7.05MHZ;:SWE:STEP 1kHz;TIME 10;:SWE ON", {"G"}, {}, "-221"},
    {{}, "SWE:TIME 500 MS", {}, {}, "-222"},
    {{}, SweepValues + ":SWE ON;:SWE:POS?", {"G", "W7200000 1000 10", "G"}, "7050000"},
    // Morse texts from a script.
    {{}, "MORS \"\"", {}, {}, "-109"},
    {{}, "MORS \"\u0416\"", {}, {}, "-150"},
    {{}, "MORS \"" + QByteArray(201, 'a') + '"', {}, {}, "-223"},
    {{}, "MORS \"" + QByteArray(200, 'a') + '"', {"Q6250 " + QString(200, u'A')}},
    // One preset written, checked by reading it back, and the settings put back.
    {{},
     "MEM:PRES:DATA 7,3650000,700,3,0,0,0",
     presetWritten({"F3650000", "A700", "M3", "S7", "K7"})},
    {{.storesSweeps = true},
     "MEM:PRES:DATA 2,7000000,0,16,7200000,1000,10;:MEM:PRES? 2",
     presetWritten({"F7000000", "W7200000 1000 10", "S2", "0", "K2"}) + QStringList{"K2"},
     "2,7000000,1000,16,7200000,1000,10"},
    {{},
     "MEM:PRES:DATA 2,7000000,0,16,7200000,1000,10",
     presetWritten({"F7000000", "W7200000 1000 10", "S2", "0", "K2"}),
     {},
     "-240"},
    // Bad values send nothing; neither does a preset that already holds the values.
    {{}, "MEM:PRES:DATA 1,7050000,0,4,0,0,0", {}, {}, "-222"},
    {{}, "MEM:PRES:DATA 1,40000001,0,0,0,0,0;:MEM:PRES:DATA 1,0,0,0,0,0,0", {}, {}, "-222 -222"},
    {{}, "MEM:PRES:DATA 1,7050000,0,0,0,0,0.5;:MEM:PRES:DATA 1,2,3", {}, {}, "-222"},
    {{}, "MEM:PRES:DATA 3,0,1000,1,0,0,0", {}, {}, "-222"},
    {{.sweeping = true},
     "MEM:PRES:DATA 1,7050000,0,0,0,0,0",
     presetWritten({}).mid(0, 13),
     {},
     "-221"},
};

TEST(RemoteServerTable, LinesToTheGeneratorAnswersAndErrors) {
    for (const Row &row : Rows) {
        SCOPED_TRACE(row.lines.left(80).toStdString());
        Rig rig;
        rig.is = row.given;
        rig.state.outputOn = row.given.recordOutput;
        rig.state.sweeping = row.given.recordSweeping;
        rig.state.sweepFreq = 9000000; // the last sweep's
        if (row.given.frameOpen)
            rig.device.openTelegraphFrame(), rig.port.takeWritten(); // the frame's "0"
        rig.client.write(row.lines + "\n");
        rig.settle([&] { return row.answers.isEmpty() || rig.client.canReadLine(); });
        EXPECT_EQ(rig.client.readLine().trimmed(), row.answers);
        EXPECT_EQ(rig.heard, row.out);
        QByteArrayList errors;
        for (QByteArray e; (e = rig.ask("SYST:ERR?")).startsWith('-') && errors.size() < 5;)
            errors.append(e.left(e.indexOf(',')));
        EXPECT_EQ(errors.join(' '), row.errors);
    }
}

TEST(RemoteServerTable, ACommandThatFailsIsAnsweredAndTheLineGoesOn) {
    Rig rig;
    rig.port.onWrite = [](const QByteArray &bytes) {
        if (bytes.startsWith('G'))
            throw std::runtime_error("the \"port\" failed");
    };
    EXPECT_EQ(rig.ask("FREQ?;:SYST:CONN?"), "9.91E37;1");
    EXPECT_EQ(rig.ask("SYST:ERR?;*ESR?"), R"(-300,"Device-specific error;the ""port"" failed";8)");
}

TEST(RemoteServerTable, AGoneClientsLinesRunInOrderThoseUnreadInItsSocketToo) {
    Rig rig;
    QByteArray lines = "*RCL 3\n"; // far more than is read while 32 lines wait
    for (int i = 1; i <= 300; ++i)
        lines += "AM:INT:FREQ " + QByteArray::number(i) + (i < 300 ? "\n" : ""); // the last: no LF
    rig.client.write(lines);
    rig.client.disconnectFromHost();
    rig.settle([&] { return rig.server.clientCount() == 0; });
    ASSERT_EQ(rig.heard.size(), 305);
    EXPECT_EQ(rig.heard.mid(0, 6), (QStringList{"R3", "G", "I", "J", "H", "A1"}));
    EXPECT_EQ(rig.heard.last(), u"A300");
    QTcpSocket others[4]; // its place is free again
    for (QTcpSocket &other : others)
        other.connectToHost(QHostAddress::LocalHost, rig.server.port());
    EXPECT_TRUE(runUntil([&] { return rig.server.clientCount() == 4; }, 5000));
}

TEST(RemoteServerTable, ClientSocketsDropAVanishedPeerWithinThreeMinutes) {
    Rig rig;
    const auto fd = static_cast<int>(rig.server.findChild<QTcpSocket *>()->socketDescriptor());
    const auto option = [&](int level, int name) {
        int value = 0;
        socklen_t size = sizeof value;
        getsockopt(fd, level, name, &value, &size);
        return value;
    };
    EXPECT_EQ(option(SOL_SOCKET, SO_KEEPALIVE), 1);
    const int idle = option(IPPROTO_TCP, TCP_KEEPIDLE);
    EXPECT_GT(idle, 0);
    EXPECT_LE(idle + option(IPPROTO_TCP, TCP_KEEPINTVL) * option(IPPROTO_TCP, TCP_KEEPCNT), 180);
}

TEST(RemoteServerTable, AnExtraAddressThatCannotBeUsedLeavesTheLoopbackListening) {
    Rig rig;
    for (const QString &address : {QStringLiteral("192.0.2.1"), QStringLiteral("no.such")}) {
        RemoteServer server(rig.device);
        QString error;
        ASSERT_TRUE(server.listen(0, address, &error));
        EXPECT_TRUE(error.contains(address)) << error.toStdString();
        rig.client.abort();
        rig.client.connectToHost(QHostAddress::LocalHost, server.port());
        EXPECT_TRUE(runUntil([&] { return server.clientCount() == 1; }, 5000));
    }
}

} // namespace
