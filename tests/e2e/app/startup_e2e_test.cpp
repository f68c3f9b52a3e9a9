// The KVT program, copied into a folder of its own with the simulator linked there as
// COM2, finds the generator by itself, queries it and polls it; the simulator's log
// shows what the program sent and when.
#include "tests/support/wait.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct LogLine {
    qint64 ms;
    QString kind;
    QString text;
};

std::vector<LogLine> readLog(const QString &path) {
    std::vector<LogLine> lines;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return lines;
    for (const QByteArray &raw : file.readAll().split('\n')) {
        const QList<QByteArray> parts = raw.trimmed().split(' ');
        if (parts.size() < 2)
            continue;
        lines.push_back(
            {parts[0].toLongLong(), QString::fromLatin1(parts[1]),
             QString::fromLatin1(raw.trimmed().mid(parts[0].size() + parts[1].size() + 2))});
    }
    return lines;
}

class ProgramAgainstSimulator : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        program = folder.filePath(QStringLiteral("KVT"));
        ASSERT_TRUE(QFile::copy(QStringLiteral(KVT_PROGRAM), program));
        log = folder.filePath(QStringLiteral("sim.log"));
        sim.setProgram(QStringLiteral(KVT_SIM));
        sim.setArguments({QStringLiteral("--link"), folder.filePath(QStringLiteral("COM2")),
                          QStringLiteral("--log"), log, QStringLiteral("--boot-ms"),
                          QStringLiteral("300")});
        sim.start();
        ASSERT_TRUE(sim.waitForStarted(5000));
        ASSERT_TRUE(
            runUntil([&] { return QFile::exists(folder.filePath(QStringLiteral("COM2"))); }, 5000));
    }
    void TearDown() override {
        if (kvt.state() != QProcess::NotRunning) {
            kvt.kill();
            kvt.waitForFinished(5000);
        }
        sim.terminate();
        if (!sim.waitForFinished(5000))
            sim.kill();
    }

    QTemporaryDir folder;
    QString program;
    QString log;
    QProcess sim;
    QProcess kvt;
};

TEST_F(ProgramAgainstSimulator, IdentityLineIsFollowedByThePollTheDeviceQueriesAndPollsEvery4s) {
    // The user's settings, as Power wrote them last time: a speed of 77 WPM.
    const QByteArray settings = "COM Port=2\r\n 0\r\nSP=TOLK\r\n 77\r\n 57600\r\n";
    const QString ini = folder.filePath(QStringLiteral("KVT.INI"));
    {
        QFile file(ini);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(settings), settings.size());
    }
    kvt.setProgram(program);
    const QString trace = folder.filePath(QStringLiteral("trace.txt"));
    kvt.setArguments({QStringLiteral("--trace"), trace});
    kvt.setWorkingDirectory(QDir::rootPath());
    kvt.start();
    ASSERT_TRUE(kvt.waitForStarted(5000));

    auto rx = [&] {
        QStringList sent;
        for (const LogLine &l : readLog(log))
            if (l.kind == QStringLiteral("RX"))
                sent << l.text;
        return sent;
    };
    ASSERT_TRUE(runUntil([&] { return rx().count(QStringLiteral("H")) >= 3; }, 20000))
        << rx().join(u',').toStdString();

    const std::vector<LogLine> lines = readLog(log);
    qint64 identityAt = -1;
    std::vector<LogLine> received;
    for (const LogLine &l : lines) {
        if (l.kind == QStringLiteral("TX") && l.text.startsWith(QStringLiteral("KVT")))
            identityAt = l.ms;
        if (l.kind == QStringLiteral("RX"))
            received.push_back(l);
    }
    ASSERT_GE(identityAt, 0);
    ASSERT_GE(received.size(), 14u);
    QStringList order;
    for (size_t i = 0; i < 14; ++i)
        order << received[i].text;
    EXPECT_EQ(order,
              (QStringList{"G", "I", "J", "H", "B", "T", "G", "I", "J", "H", "G", "I", "J", "H"}));
    // The program waits 1 s after connecting and the poll waits its own 1 s.
    EXPECT_GE(received[0].ms - identityAt, 1900);
    // Polls come every 4 s (the poll timer ticks once a second, every 4th tick polls).
    const qint64 period = received[10].ms - received[6].ms;
    EXPECT_GE(period, 3800);

    // Connected and polling for seconds, then ended without Power: only Power writes
    // the settings, so the user's file is as it was, byte for byte.
    kvt.kill();
    kvt.waitForFinished(5000);
    QFile file(ini);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), settings);

    // The trace asked for on the command line holds both directions, flushed as they
    // went even though the program was killed.
    QFile traced(trace);
    ASSERT_TRUE(traced.open(QIODevice::ReadOnly));
    const QByteArray text = traced.readAll();
    for (const char *entry : {" RECV KVT20v2.05\n", " SEND G\n", " RECV #F7050000\n", " SEND T\n"})
        EXPECT_TRUE(text.contains(entry)) << entry;
}

} // namespace
