// The remote server on a generator played in memory: what a client's lines put on the
// line, what the client reads back and what its error queue holds.
#include "remote/remoteserver.h"

#include "link/devicestate.h"
#include "link/generator.h"
#include "link/link.h"
#include "link/poller.h"
#include "tests/support/fakes.h"
#include "tests/support/wait.h"

#include <QTcpSocket>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

namespace {

// How the generator behaves, and what the program's record says beforehand.
struct Given {
    bool sweeping = false;
    bool on = true;
    bool ignoresOneWhileSweeping = false;
    bool ignoresOutput = false; // "0" and "1" change nothing
    int16_t recordOutput = 1;
    bool recordSweeping = false;
    int32_t recordPosition = 9000000;
};

// The generator: answers G, I, J, H, switches on 0 and 1, tunes, sweeps as the
// simulator does.
struct PlayedGenerator {
    Given is;
    double carrier = 7050000;
    QStringList heard;

    void hear(FakeSerialPort &port, ManualClock &clock) {
        for (const QString &line : port.takeLines()) {
            heard.append(line);
            QByteArray reply;
            const auto F = [&] { return "#F" + QByteArray::number(carrier, 'f', 0); };
            if (line == u"G")
                reply = is.sweeping ? "#W" + QByteArray::number(carrier, 'f', 0) : F();
            else if (line == u"H")
                reply = is.on ? "#S1" : "#S0";
            else if (line == u"I")
                reply = "#A1000";
            else if (line == u"J")
                reply = "#M1";
            else if (line == u"0" && !is.ignoresOutput && is.sweeping)
                is.sweeping = false, reply = F();
            else if (line == u"0" && !is.ignoresOutput)
                is.on = false;
            else if (line == u"1" && !is.ignoresOutput &&
                     !(is.sweeping && is.ignoresOneWhileSweeping))
                is.on = true;
            else if (line.startsWith(u'F'))
                carrier = line.mid(1).toDouble(), is.sweeping = false;
            else if (line.startsWith(u'W'))
                is.sweeping = line.mid(1).section(u' ', 0, 0).toDouble() > carrier,
                reply = is.sweeping ? "#W" + QByteArray::number(carrier, 'f', 0) : F();
            if (!reply.isEmpty()) {
                port.receive(reply + "\r\n");
                clock.advance(0);
            }
        }
    }
};

struct Rig {
    Rig() {
        state.portNumber = 2;
        port.openResults[2] = 0;
        link.openPort();
        port.receive("KVT20v2.05\r\n");
        clock.advance(100);
        QString error;
        EXPECT_TRUE(server.listen(0, {}, &error)) << error.toStdString();
        client.connectToHost(QHostAddress::LocalHost, server.port());
        EXPECT_TRUE(runUntil([&] { return server.clientCount() == 1; }, 5000));
    }
    // Runs until the server has carried out every line it has, the generator answering
    // at once and the clock moving on while nothing answers.
    void settle(const std::function<bool()> &done) {
        int quiet = 0;
        runUntil(
            [&] {
                generator.hear(port, clock);
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
    DeviceState state;
    FakeSerialPort port;
    Link link{state, port, clock};
    Poller poller{link, clock, {}};
    Generator device{state, link, poller};
    RemoteServer server{device};
    QTcpSocket client;
    PlayedGenerator generator;
};

struct Row {
    Given given;
    QByteArray lines; // what the client writes
    QStringList out;  // the lines that reach the generator
    QByteArray answers = {};
    QStringList errors = {}; // SYSTem:ERRor? in turn
    bool closes = false;     // the client closes right after writing
};

const QByteArray SweepValues = "FREQ:STOP 7.2MHZ;:SWE:STEP 1kHz;TIME 10;";

const Row Rows[] = {
    // Queries of the kept sweep values change nothing, and say when none is kept.
    {{}, "FREQ:STOP?;:SWE:STEP?;TIME?", {}, "9.91E37;9.91E37;9.91E37", {"-230", "-230", "-230"}},
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
    {{.ignoresOutput = true}, "OUTP OFF", {"G", "H", "0", "H"}, {}, {"-240"}},
    {{.sweeping = true, .ignoresOutput = true}, "SWE OFF", {"G", "0", "G", "G"}, {}, {"-240"}},
    // A query alone asks only its own letter.
    {{}, "FREQ?;AM:INT:FREQ?;:AM:MODE?;:OUTP?", {"G", "I", "J", "H"}, "7050000;1000;STIL;1"},
    // Sweep values checked.
    {{}, "FREQ:STOP 99MHZ;:FREQ:STOP?", {}, "9.91E37", {"-222", "-230"}},
    {{}, "FREQ:STOP 7.05MHZ;:SWE:STEP 1kHz;TIME 10;:SWE ON", {"G"}, {}, {"-221"}},
    {{}, "SWE:TIME 500 MS", {}, {}, {"-222"}},
    // The position of a sweep just started is its start, not the last sweep's.
    {{}, SweepValues + ":SWE ON;:SWE:POS?", {"G", "W7200000 1000 10", "G"}, "7050000"},
    // Morse texts from a script.
    {{}, "MORS \"\"", {}, {}, {"-109"}},
    {{}, "MORS \"\u0416\"", {}, {}, {"-150"}},
    {{}, "MORS \"" + QByteArray(201, 'a') + '"', {}, {}, {"-223"}},
    {{}, "MORS \"" + QByteArray(200, 'a') + '"', {"Q6250 " + QString(200, u'A')}},
    // A client that sends and closes: its lines run, the last one without its LF too.
    {{}, "*RCL 3\nFREQ 7.2 MHZ", {"R3", "G", "I", "J", "H", "F7200000", "G"}, {}, {}, true},
};

TEST(RemoteServerTable, LinesToTheGeneratorAnswersAndErrors) {
    for (const Row &row : Rows) {
        SCOPED_TRACE(row.lines.left(80).toStdString());
        Rig rig;
        rig.generator.is = row.given;
        rig.state.outputOn = row.given.recordOutput;
        rig.state.sweeping = row.given.recordSweeping;
        rig.state.sweepFreq = row.given.recordPosition;
        rig.port.takeWritten();
        rig.client.write(row.lines + (row.closes ? "" : "\n"));
        if (row.closes) {
            rig.client.disconnectFromHost();
            rig.settle([&] { return rig.server.clientCount() == 0; });
            EXPECT_EQ(rig.generator.heard, row.out);
            continue;
        }
        rig.settle([&] { return row.answers.isEmpty() || rig.client.canReadLine(); });
        EXPECT_EQ(rig.client.readLine().trimmed(), row.answers);
        EXPECT_EQ(rig.generator.heard, row.out);
        QStringList errors;
        for (QByteArray e = rig.ask("SYST:ERR?"); e.startsWith('-') && errors.size() < 5;
             e = rig.ask("SYST:ERR?"))
            errors.append(QString::fromLatin1(e.left(e.indexOf(','))));
        EXPECT_EQ(errors, row.errors);
    }
}

TEST(RemoteServerTable, AGoneClientsLinesRunInOrderAndItsPlaceIsFreedAfterwards) {
    Rig rig;
    QByteArray lines;
    for (int i = 1; i <= 40; ++i)
        lines += "AM:INT:FREQ " + QByteArray::number(i) + "\n";
    rig.port.takeWritten();
    rig.client.write(lines);
    rig.client.disconnectFromHost();
    rig.settle([&] { return rig.server.clientCount() == 0; });
    ASSERT_EQ(rig.generator.heard.size(), 40);
    EXPECT_EQ(rig.generator.heard.first(), u"A1");
    EXPECT_EQ(rig.generator.heard.last(), u"A40");
    // All four places are free again.
    QTcpSocket others[4];
    for (QTcpSocket &other : others)
        other.connectToHost(QHostAddress::LocalHost, rig.server.port());
    EXPECT_TRUE(runUntil([&] { return rig.server.clientCount() == 4; }, 5000));
}

TEST(RemoteServerTable, EveryClientSocketProbesAVanishedPeerWithinThreeMinutes) {
    Rig rig;
    const QList<QTcpSocket *> sockets = rig.server.findChildren<QTcpSocket *>();
    ASSERT_EQ(sockets.size(), 1);
    const auto option = [&](int level, int name) {
        int value = 0;
        socklen_t size = sizeof value;
        getsockopt(static_cast<int>(sockets[0]->socketDescriptor()), level, name, &value, &size);
        return value;
    };
    EXPECT_EQ(option(SOL_SOCKET, SO_KEEPALIVE), 1);
    const int idle = option(IPPROTO_TCP, TCP_KEEPIDLE);
    const int gone = idle + option(IPPROTO_TCP, TCP_KEEPINTVL) * option(IPPROTO_TCP, TCP_KEEPCNT);
    EXPECT_GT(idle, 0);
    EXPECT_LE(gone, 180);
}

TEST(RemoteServerTable, AnExtraAddressThatCannotBeUsedLeavesTheLoopbackListening) {
    Rig rig;
    for (const QString &address : {QStringLiteral("192.0.2.1"), QStringLiteral("no.such")}) {
        RemoteServer server(rig.device);
        QString error;
        ASSERT_TRUE(server.listen(0, address, &error));
        EXPECT_TRUE(error.contains(address)) << error.toStdString();
        QTcpSocket client;
        client.connectToHost(QHostAddress::LocalHost, server.port());
        EXPECT_TRUE(runUntil([&] { return server.clientCount() == 1; }, 5000));
    }
}

} // namespace
