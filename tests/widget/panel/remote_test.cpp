// Remote commands on the connected panel: they go through the same procedures as the
// buttons, so the panel shows their effect, and queries take the generator's fresh
// replies in turn with the panel's own traffic.
#include "panelfixture.h"

#include "instrument/instrument.h"
#include "remote/remoteserver.h"
#include "tests/support/panelui.h"
#include "tests/support/wait.h"

#include <QTcpSocket>

namespace {

class RemoteTest : public PanelTest {
protected:
    void SetUp() override {
        PanelTest::SetUp();
        QString error;
        ASSERT_TRUE(server.listen(0, {}, &error)) << error.toStdString();
        QObject::connect(&server, &RemoteServer::clientCountChanged, &window(),
                         &MainWindow::showRemoteClients);
        client.connectToHost(QHostAddress::LocalHost, server.port());
        ASSERT_TRUE(runUntil([&] { return server.clientCount() == 1; }, 5000));
    }
    // Waits for the program to send `line`, then lets the generator answer `reply` (if any).
    void expectQuery(const QString &line, const QByteArray &reply) {
        ASSERT_TRUE(runUntil(
            [&] {
                lines += sent();
                return lines.contains(line);
            },
            5000))
            << line.toStdString() << " not in " << lines.join(u',').toStdString();
        lines.removeOne(line);
        if (!reply.isEmpty())
            rig.reply(reply);
    }
    QByteArray answer() {
        EXPECT_TRUE(runUntil([&] { return client.canReadLine(); }, 5000));
        return client.readLine().trimmed();
    }

    RemoteServer server{window().instrument()};
    QTcpSocket client;
    QStringList lines; // sent, not yet expected
};

TEST_F(RemoteTest, RemoteTuningShowsOnThePanelAndRemShowsWhileAClientIsConnected) {
    QLabel *rem = control<QLabel>(window(), "remoteLabel");
    EXPECT_TRUE(rem->isVisibleTo(&window()));
    state().activePreset = 3;
    window().displayAll();
    client.write("FREQ 7.1 MHZ\n");
    ASSERT_TRUE(runUntil([&] { return state().carrierFreq == 7100000; }, 5000));
    EXPECT_EQ(ui(window()).modeLine->text(), QStringLiteral("MAN"));
    EXPECT_EQ(ui(window()).carrierReadout->text(), QStringLiteral("7.100.000"));
    client.write("OUTP OFF\n");
    ASSERT_TRUE(runUntil([&] { return state().outputOn == 0; }, 5000));
    EXPECT_EQ(sent(), (QStringList{"F7100000", "0"}));
    EXPECT_FALSE(ui(window()).outputLamp->isLit());
    client.disconnectFromHost();
    ASSERT_TRUE(runUntil([&] { return server.clientCount() == 0; }, 5000));
    EXPECT_FALSE(rem->isVisibleTo(&window()));
}

TEST_F(RemoteTest, QueriesAnswerTheGeneratorsFreshRepliesNotTheRecord) {
    client.write("FREQ?;OUTP?\n");
    // The record still says 7.05 MHz and on; the generator says otherwise.
    expectQuery(QStringLiteral("G"), "#F7100000\r\n");
    expectQuery(QStringLiteral("I"), "#A1000\r\n");
    expectQuery(QStringLiteral("J"), "#M1\r\n");
    expectQuery(QStringLiteral("H"), "#S1\r\n");
    // OUTP? asks again: the S reply to the first round does not answer it.
    expectQuery(QStringLiteral("G"), "#F7100000\r\n");
    expectQuery(QStringLiteral("I"), "#A1000\r\n");
    expectQuery(QStringLiteral("J"), "#M1\r\n");
    expectQuery(QStringLiteral("H"), "#S0\r\n");
    EXPECT_EQ(answer(), QByteArray("7100000;0"));

    // No answer within a second: the script is told, and does not hang.
    client.write("AM:INT:FREQ?\n");
    expectQuery(QStringLiteral("G"), {}); // and nothing answers
    for (int i = 0; i < 20; ++i) {
        rig.advance(100);
        runUntil([] { return false; }, 1);
    }
    EXPECT_EQ(answer(), QByteArray("9.91E37"));
    client.write("SYST:ERR?\n");
    EXPECT_EQ(answer(), QByteArray("-240,\"Hardware error\""));
}

TEST_F(RemoteTest, AClientGoneOrTheProgramEndingWhileAQueryWaitsLeavesNothingBehind) {
    // The client goes while its query waits: the query runs out, the next client is
    // served.
    client.write("FREQ?\n");
    expectQuery(QStringLiteral("G"), {});
    client.abort();
    ASSERT_TRUE(runUntil([&] { return server.clientCount() == 0; }, 5000));
    rig.advance(1500, 100);
    QTcpSocket next;
    next.connectToHost(QHostAddress::LocalHost, server.port());
    ASSERT_TRUE(runUntil([&] { return next.state() == QAbstractSocket::ConnectedState; }, 5000));
    next.write("*OPC?;FREQ?\n");
    lines.clear();
    expectQuery(QStringLiteral("G"), {});
    // The fixture ends here, while this query waits: the server goes first, then the
    // window, whose going away ends the query's wait.
}

} // namespace
