// Remote commands on the connected panel: they go through the same procedures as the
// buttons, so the panel shows their effect, and queries take the generator's fresh
// replies in turn with the panel's own traffic.
#include "panelfixture.h"

#include "instrument/instrument.h"
#include "remote/remoteserver.h"
#include "tests/support/panelui.h"
#include "tests/support/wait.h"

#include <QDialog>
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
    expectQuery(QStringLiteral("F7100000"), {});
    expectQuery(QStringLiteral("G"), "#F7100000\r\n");
    client.write("OUTP OFF\n");
    expectQuery(QStringLiteral("G"), "#F7100000\r\n");
    expectQuery(QStringLiteral("H"), "#S1\r\n");
    expectQuery(QStringLiteral("0"), {});
    ASSERT_TRUE(runUntil([&] { return state().outputOn == 0; }, 5000));
    EXPECT_FALSE(ui(window()).outputLamp->isLit());
    expectQuery(QStringLiteral("H"), "#S0\r\n");
    client.disconnectFromHost();
    ASSERT_TRUE(runUntil([&] { return server.clientCount() == 0; }, 5000));
    EXPECT_FALSE(rem->isVisibleTo(&window()));
}

TEST_F(RemoteTest, QueriesAnswerTheGeneratorsFreshRepliesNotTheRecord) {
    client.write("FREQ?;OUTP?\n");
    // The record still says 7.05 MHz and on; the generator says otherwise. Each query
    // asks its own question alone.
    expectQuery(QStringLiteral("G"), "#F7100000\r\n");
    expectQuery(QStringLiteral("H"), "#S0\r\n");
    EXPECT_EQ(answer(), QByteArray("7100000;0"));
    EXPECT_TRUE(lines.isEmpty()) << lines.join(u',').toStdString();

    // No answer within a second: the script is told, and does not hang.
    client.write("AM:INT:FREQ?\n");
    expectQuery(QStringLiteral("I"), {}); // and nothing answers
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

TEST_F(RemoteTest, TuningDuringASweepShowsItsEndAsSoonAsTheGeneratorAnswers) {
    state().sweeping = 1;
    ui(window()).sweepButton->setText(QStringLiteral("Pause"));
    window().displayAll();
    ASSERT_EQ(ui(window()).modeLine->text(), QStringLiteral("SWEEP"));
    client.write("FREQ 7.2 MHZ\n");
    expectQuery(QStringLiteral("F7200000"), {});
    // One question, answered before any poll is due: the clock has not moved.
    expectQuery(QStringLiteral("G"), "#F7200000\r\n");
    EXPECT_EQ(ui(window()).sweepButton->text(), QStringLiteral("Sweep"));
    EXPECT_EQ(ui(window()).modeLine->text(), QStringLiteral("MAN"));
}

TEST_F(RemoteTest, RemoteCommandsWaitWhileTheSetupExchangesRunNotWhileItsWindowStandsOpen) {
    const auto heldBack = [&](const char *line) { // the server has the line and holds it
        EXPECT_TRUE(runUntil([&] { return !server.idle(); }, 5000));
        runUntil([] { return false; }, 20);
        return !(lines += sent()).contains(QLatin1String(line));
    };
    rig.dialogs.modalActions.push_back([&](QDialog &d) { // the window merely stands open
        expectQuery(QStringLiteral("F7200000"), {});
        expectQuery(QStringLiteral("G"), "#F7200000\r\n");
        control<QPushButton>(d, "saveButton")->click();
    });
    click(ui(window()).configButton);
    expectQuery(QStringLiteral("Y"), {});
    client.write("FREQ 7.2 MHZ\n");
    EXPECT_TRUE(heldBack("F7200000"));
    rig.reply("#Y21000\r\n");
    expectQuery(QStringLiteral("V"), {});
    rig.reply("#V100\r\n"); // the window opens and its action runs
    expectQuery(QStringLiteral("Z2 1000"), {});
    client.write("FREQ 7.4 MHZ\n");
    rig.advance(999);
    EXPECT_TRUE(heldBack("F7400000"));
    rig.advance(1);
    expectQuery(QStringLiteral("X100"), {});
    expectQuery(QStringLiteral("F7400000"), {});
}

} // namespace
