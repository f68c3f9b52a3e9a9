// The kvt-sim program as other tools run it: command line, log file, signals.

#include "serialclient.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

TEST(KvtSimProgram, ServesTheLinkLogsEachEventAndLeavesCleanlyOnSigterm) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString link = dir.filePath(QStringLiteral("COM5"));
    const QString log = dir.filePath(QStringLiteral("sim.log"));

    QProcess process;
    process.start(QStringLiteral(KVT_SIM_PROGRAM),
                  {QStringLiteral("--link"), link, QStringLiteral("--log"), log,
                   QStringLiteral("--boot-ms"), QStringLiteral("100"),
                   QStringLiteral("--device-id"), QStringLiteral("42"),
                   QStringLiteral("--identity"), QStringLiteral("KVT10v1.1"),
                   QStringLiteral("--save-during-sweep"), QStringLiteral("sweep")});
    ASSERT_TRUE(process.waitForStarted());
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFileInfo(link).isSymLink(); }, 5000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return process.canReadLine(); }, 2000));
    EXPECT_TRUE(process.readLine().contains("/dev/pts/"));

    {
        SerialClient client(link);
        ASSERT_TRUE(client.open());
        EXPECT_EQ(client.takeLine(), "KVT10v1.1");
        client.send("B");
        EXPECT_EQ(client.takeLine(), "#B42");
        client.send("W7200000 1000 10"); // S during the sweep stores it as a sweep preset
        client.send("S6");
        client.send("K6");
        QByteArray line;
        while ((line = client.takeLine()).startsWith("#W")) {
        }
        EXPECT_EQ(line, "#K6 7050000 1000 16 7200000 1000 10");
    }
    // The log is written per line, so it can be read while the program runs.
    ASSERT_TRUE(QTest::qWaitFor([&] {
        QFile file(log);
        return file.open(QIODevice::ReadOnly) && file.readAll().contains("CLOSE");
    }));

    process.terminate();
    ASSERT_TRUE(process.waitForFinished(5000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0);
    EXPECT_FALSE(QFileInfo(link).isSymLink());

    QFile file(log);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromLatin1(file.readAll()).split('\n', Qt::SkipEmptyParts);
    const QRegularExpression format(QStringLiteral("^(\\d+) (RX|TX|OPEN|CLOSE) (.*)$"));
    QStringList events;
    qint64 previous = 0;
    for (const QString &line : lines) {
        const auto match = format.match(line);
        ASSERT_TRUE(match.hasMatch()) << line.toStdString();
        EXPECT_GE(match.captured(1).toLongLong(), previous);
        previous = match.captured(1).toLongLong();
        events << match.captured(2) + QLatin1Char(' ') + match.captured(3);
    }
    ASSERT_GE(events.size(), 5); // then the sweep preset's lines
    EXPECT_TRUE(events[0].startsWith(QStringLiteral("OPEN /dev/pts/")));
    EXPECT_EQ(events.mid(1, 3), (QStringList{QStringLiteral("TX KVT10v1.1"), QStringLiteral("RX B"),
                                             QStringLiteral("TX #B42")}));
    EXPECT_TRUE(events.last().startsWith(QStringLiteral("CLOSE /dev/pts/")));
}

TEST(KvtSimProgram, RefusesABadCommandLine) {
    const QList<QStringList> cases = {
        {},
        {QStringLiteral("--link"), QStringLiteral("/tmp/x"), QStringLiteral("--fault"),
         QStringLiteral("bogus")},
        {QStringLiteral("--link"), QStringLiteral("/tmp/x"), QStringLiteral("--boot-ms"),
         QStringLiteral("soon")},
        {QStringLiteral("--link"), QStringLiteral("/tmp/x"), QStringLiteral("--save-during-sweep"),
         QStringLiteral("sweeps")},
        {QStringLiteral("--link"), QStringLiteral("/tmp/x"), QStringLiteral("--bootloader-ms"),
         QStringLiteral("-1")},
        {QStringLiteral("--link"), QStringLiteral("/tmp/x"), QStringLiteral("--bogus")},
        {QStringLiteral("--version")},
        {QStringLiteral("--link")},
    };
    for (const QStringList &arguments : cases) {
        QProcess process;
        process.start(QStringLiteral(KVT_SIM_PROGRAM), arguments);
        ASSERT_TRUE(process.waitForFinished(5000));
        EXPECT_EQ(process.exitCode(), 2) << arguments.join(' ').toStdString();
    }
}

} // namespace
