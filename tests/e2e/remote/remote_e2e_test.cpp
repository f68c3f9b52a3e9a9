// A script on PyVISA drives the real program's remote control; the program drives the
// simulator, whose log shows what reached the generator.
#include "tests/support/wait.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// The lines the simulator received, in order.
QStringList received(const QString &log) {
    QStringList lines;
    QFile file(log);
    if (!file.open(QIODevice::ReadOnly))
        return lines;
    for (const QByteArray &raw : file.readAll().split('\n')) {
        const QList<QByteArray> parts = raw.trimmed().split(' ');
        if (parts.size() >= 3 && parts[1] == "RX")
            lines << QString::fromLatin1(parts.mid(2).join(' '));
    }
    return lines;
}

// A port no one listens on now.
quint16 freePort() {
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost) ? probe.serverPort() : 0;
}

// The simulator with its terminal linked as `link`; true once the link is there.
bool startSimulator(QProcess &sim, const QString &link, const QString &log) {
    sim.start(QStringLiteral(KVT_SIM), {QStringLiteral("--link"), link, QStringLiteral("--log"),
                                        log, QStringLiteral("--boot-ms"), QStringLiteral("300")});
    return sim.waitForStarted(5000) && runUntil([&] { return QFile::exists(link); }, 5000);
}

// One query line over a connection of its own, and its answer without LF.
QString ask(quint16 port, const QByteArray &line) {
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(5000))
        return QStringLiteral("(no connection)");
    socket.write(line + '\n');
    runUntil(
        &socket, &QTcpSocket::readyRead, [&] { return socket.canReadLine(); }, 10000);
    return QString::fromLatin1(socket.readLine()).trimmed();
}

// The program copied into a folder of its own, with the simulator linked there as COM2.
class RemoteControl : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        ASSERT_TRUE(QFile::copy(QStringLiteral(KVT_PROGRAM), program));
        ASSERT_TRUE(startSimulator(sim, link, log));
    }
    void TearDown() override {
        sim.terminate();
        sim.waitForFinished(5000);
    }

    QTemporaryDir folder;
    const QString program = folder.filePath(QStringLiteral("KVT"));
    const QString link = folder.filePath(QStringLiteral("COM2"));
    const QString log = folder.filePath(QStringLiteral("sim.log"));
    QProcess sim;
};

TEST_F(RemoteControl, AVisaScriptTunesSavesRecallsAndReadsBack) {

    // The telegraph speed of the panel's slider: 77 WPM, elements of 81 ms.
    {
        QFile ini(folder.filePath(QStringLiteral("KVT.INI")));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write("COM Port=2\r\n 0\r\nSP=TOLK\r\n 77\r\n 57600\r\n");
    }
    const quint16 port = freePort();
    ASSERT_NE(port, 0);
    QProcess kvt;
    const QString trace = folder.filePath(QStringLiteral("trace.txt"));
    kvt.start(program, {QStringLiteral("--remote"), QString::number(port),
                        QStringLiteral("--trace"), trace});
    ASSERT_TRUE(kvt.waitForStarted(5000));
    // Connected and through its first poll.
    ASSERT_TRUE(runUntil([&] { return received(log).contains(QStringLiteral("T")); }, 20000));

    // Debian's interpreter, which has Debian's PyVISA (a python3 earlier on the PATH may not).
    const QString python = QFile::exists(QStringLiteral("/usr/bin/python3"))
                               ? QStringLiteral("/usr/bin/python3")
                               : QStringLiteral("python3");
    QProcess script;
    script.start(python, {QStringLiteral(KVT_SCRIPT), QString::number(port)});
    ASSERT_TRUE(runUntil([&] { return script.state() == QProcess::NotRunning; }, 60000));
    const QStringList answers =
        QString::fromUtf8(script.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(script.exitCode(), 0) << script.readAllStandardError().toStdString();
    ASSERT_EQ(answers.size(), 8) << answers.join(u'|').toStdString();
    EXPECT_EQ(answers[0], QStringLiteral("KVT,KVT 20,1234,2.05"));
    EXPECT_EQ(answers[1], QStringLiteral("7050000;1234;BEEP"));
    EXPECT_EQ(answers[2], QStringLiteral("7050000")); // recalled, asked afresh
    EXPECT_EQ(answers[3], QStringLiteral("3,7050000,1234,2,0,0,0"));
    // Out of the model's range, an unknown header, Morse while keying; then none.
    EXPECT_EQ(answers[4], QStringLiteral("-222,\"Data out of range\";-113,\"Undefined "
                                         "header\";-221,\"Settings conflict\";0,\"No error\";1"));
    EXPECT_EQ(answers[5], QStringLiteral("7200000;10"));
    EXPECT_EQ(answers[6], QStringLiteral("0;0"));
    EXPECT_EQ(answers[7], QStringLiteral("4;1999.0;40000000;-224,\"Illegal parameter value\""));
    ASSERT_TRUE(
        runUntil([&] { return received(log).contains(QStringLiteral("F7100000")); }, 10000));

    // What reached the generator, in order, and nothing of what was refused.
    const QStringList lines = received(log);
    QStringList setting;
    for (const QString &line : lines) {
        // The preset query is asked again each 50 ms until its record comes: a loaded
        // machine may send it twice.
        const bool askedAgain =
            line.startsWith(u'K') && !setting.isEmpty() && setting.last() == line;
        if (!QStringList{"G", "I", "J", "H", "B", "T"}.contains(line) && !askedAgain)
            setting << line;
    }
    EXPECT_EQ(setting, (QStringList{"F7050000", "A1234", "M2", "S3", "F5000000", "R3", "K3",
                                    "Q81 CQ", "W7200000 1000 10", "0", "0", "F7100000"}))
        << lines.join(u',').toStdString();

    // The trace keeps the script's lines apart from the serial ones. (Ended as a
    // shutdown ends it, so its port's lock file goes with it.)
    kvt.terminate();
    kvt.waitForFinished(5000);
    QFile traced(trace);
    ASSERT_TRUE(traced.open(QIODevice::ReadOnly));
    const QByteArray text = traced.readAll();
    EXPECT_TRUE(text.contains(" REMOTE 1 > FREQ 7.05 MHZ\n"));
    EXPECT_TRUE(text.contains(" REMOTE 1 < 7050000\n"));
    EXPECT_TRUE(text.contains(" SEND F7050000\n"));
}

// The program without a window, started with no display at all, as a service is: it
// loads no platform plugin, tells on its standard error what it finds, follows the
// generator away and back, and ends on SIGTERM with its port closed (no lock file).
TEST_F(RemoteControl, WithoutAWindowItNeedsNoDisplayFollowsThePulledLineAndEndsOnSigterm) {
    const quint16 port = freePort();
    ASSERT_NE(port, 0);

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QLatin1String(name));
    const auto start = [&](QProcess &kvt, quint16 remotePort) {
        kvt.setProcessEnvironment(environment);
        kvt.start(program, {QStringLiteral("--no-window"), QStringLiteral("--remote"),
                            QString::number(remotePort)});
    };
    // Whether `kvt` says `text` on its standard error; `said` keeps what it said so far.
    const auto says = [](QProcess &kvt, QString &said, const QString &text) {
        return runUntil(
            &kvt, &QProcess::readyReadStandardError,
            [&] {
                said += QString::fromUtf8(kvt.readAllStandardError());
                return said.contains(text);
            },
            20000);
    };
    QProcess kvt;
    start(kvt, port);
    QString said;
    const auto saying = [&](const QString &text) { return says(kvt, said, text); };
    const QString where = QStringLiteral("COM2 (%1)").arg(link);
    ASSERT_TRUE(saying(QStringLiteral("KVT: trying ") + where)) << said.toStdString();
    ASSERT_TRUE(saying(QStringLiteral("KVT: connected to the generator on %1: KVT 20, serial "
                                      "number 1234, firmware 2.05")
                           .arg(where)))
        << said.toStdString();

    QFile maps(QStringLiteral("/proc/%1/maps").arg(kvt.processId()));
    ASSERT_TRUE(maps.open(QIODevice::ReadOnly));
    const QByteArray mapped = maps.readAll();
    EXPECT_TRUE(mapped.contains("libQt6Core")) << "the maps were read";
    for (const char *plugin : {"libqxcb", "liboffscreen", "libqwayland", "/platforms/"})
        EXPECT_FALSE(mapped.contains(plugin)) << plugin;
    // QSerialPort's lock of the open port, where the system lets it be placed.
    const QString lock = QStringLiteral("/var/lock/LCK..") + QString(link).replace(u'/', u'_');
    const bool locking = QFileInfo(QStringLiteral("/var/lock")).isWritable();
    if (locking) {
        EXPECT_TRUE(QFile::exists(lock)) << lock.toStdString();
    }
    EXPECT_EQ(ask(port, "SYST:CONN?"), QStringLiteral("1"));

    // A second one on the same remote port cannot listen and ends; one on another port
    // finds COM2 taken, says so and searches on until it is told to end.
    QProcess same;
    start(same, port);
    ASSERT_TRUE(same.waitForFinished(10000));
    EXPECT_EQ(same.exitCode(), 1);
    if (locking) {
        QProcess other;
        QString otherSaid;
        start(other, freePort());
        ASSERT_TRUE(says(other, otherSaid, QStringLiteral("searching again from COM2")));
        EXPECT_TRUE(otherSaid.contains(QStringLiteral("KVT: COM2: in use by another program\n")));
        other.terminate();
        ASSERT_TRUE(other.waitForFinished(10000));
        EXPECT_EQ(other.exitCode(), 0);
    }

    sim.terminate(); // the line is pulled
    ASSERT_TRUE(sim.waitForFinished(5000));
    ASSERT_TRUE(saying(QStringLiteral("KVT: the line to the generator on %1 is lost").arg(where)))
        << said.toStdString();
    EXPECT_EQ(ask(port, "SYST:CONN?;:FREQ?"), QStringLiteral("0;9.91E37"));
    ASSERT_TRUE(startSimulator(sim, link, folder.filePath(QStringLiteral("sim2.log"))));
    ASSERT_TRUE(saying(QStringLiteral("KVT: the generator is back on %1: KVT 20").arg(where)))
        << said.toStdString();
    EXPECT_EQ(ask(port, "SYST:CONN?"), QStringLiteral("1"));

    kvt.terminate(); // SIGTERM
    ASSERT_TRUE(kvt.waitForFinished(10000));
    EXPECT_EQ(kvt.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(kvt.exitCode(), 0) << said.toStdString();
    if (locking) {
        EXPECT_FALSE(QFile::exists(lock)) << "the port was closed";
    }
}

} // namespace
