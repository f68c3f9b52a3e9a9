// A script on PyVISA drives the real program's remote control; the program drives the
// simulator, whose log shows what reached the generator.
#include "tests/support/wait.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
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

TEST(RemoteControl, AVisaScriptTunesSavesRecallsAndReadsBack) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString program = folder.filePath(QStringLiteral("KVT"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(KVT_PROGRAM), program));
    const QString log = folder.filePath(QStringLiteral("sim.log"));
    QProcess sim;
    sim.start(QStringLiteral(KVT_SIM),
              {QStringLiteral("--link"), folder.filePath(QStringLiteral("COM2")),
               QStringLiteral("--log"), log, QStringLiteral("--boot-ms"), QStringLiteral("300")});
    ASSERT_TRUE(sim.waitForStarted(5000));
    ASSERT_TRUE(
        runUntil([&] { return QFile::exists(folder.filePath(QStringLiteral("COM2"))); }, 5000));

    // The telegraph speed of the panel's slider: 77 WPM, elements of 81 ms.
    {
        QFile ini(folder.filePath(QStringLiteral("KVT.INI")));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write("COM Port=2\r\n 0\r\nSP=TOLK\r\n 77\r\n 57600\r\n");
    }
    // A free port for the program.
    quint16 port = 0;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
        port = probe.serverPort();
    }
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

    // The trace keeps the script's lines apart from the serial ones.
    kvt.kill();
    kvt.waitForFinished(5000);
    QFile traced(trace);
    ASSERT_TRUE(traced.open(QIODevice::ReadOnly));
    const QByteArray text = traced.readAll();
    EXPECT_TRUE(text.contains(" REMOTE 1 > FREQ 7.05 MHZ\n"));
    EXPECT_TRUE(text.contains(" REMOTE 1 < 7050000\n"));
    EXPECT_TRUE(text.contains(" SEND F7050000\n"));
    sim.terminate();
    sim.waitForFinished(5000);
}

} // namespace
