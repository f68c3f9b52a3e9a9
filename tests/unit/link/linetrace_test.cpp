// The line trace of `KVT --trace FILE`: its entries, appending to an older trace, and
// the bound on the file's size.
#include "link/linetrace.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QByteArrayList fileLines(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QByteArrayList lines = file.readAll().split('\n');
    lines.removeAll(QByteArray());
    return lines;
}

TEST(LineTrace, StampedDirectedFramesAppendedFlushedAndStoppedAtTheLimitWithALastLine) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("trace.txt"));
    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("an older trace\n");
    old.close();
    const auto now = [] { return QDateTime(QDate(2026, 12, 8), QTime(11, 26, 19, 7)); };

    constexpr qint64 Limit = 400;
    LineTrace trace(path, Limit, now);
    ASSERT_TRUE(trace.open(QStringLiteral("3.2.3")));
    trace.sent("F7050000\r\n");
    trace.received("#F70");             // a frame cut by a read
    trace.received("50000\r\n#A1");     // is written whole once its CR has come
    trace.received("000\r\nKVT\xe9\\"); // the rest waits for its end or a note
    trace.note(QStringLiteral("port lost"));
    trace.sent("Q120 \xc8\x45\r\n");
    // Flushed per line: the file holds every entry while the trace is still open.
    EXPECT_EQ(fileLines(path), (QByteArrayList{
                                   "an older trace",
                                   "2026-12-08 11:26:19.007 ---- trace started by KVT 3.2.3",
                                   "2026-12-08 11:26:19.007 SEND F7050000",
                                   "2026-12-08 11:26:19.007 RECV #F7050000",
                                   "2026-12-08 11:26:19.007 RECV #A1000",
                                   "2026-12-08 11:26:19.007 RECV KVT\\xe9\\x5c",
                                   "2026-12-08 11:26:19.007 ---- port lost",
                                   "2026-12-08 11:26:19.007 SEND Q120 \\xc8E",
                               }));

    for (int i = 0; i < 20; ++i)
        trace.sent("G\r\n");
    EXPECT_TRUE(trace.stopped());
    const qint64 size = QFileInfo(path).size();
    EXPECT_LE(size, Limit);
    EXPECT_TRUE(fileLines(path).last().mid(24).startsWith("---- trace stopped: the file has "
                                                          "reached its limit"));
    // The next session appends to the full file: nothing more is written.
    LineTrace next(path, Limit, now);
    ASSERT_TRUE(next.open(QStringLiteral("3.2.3")));
    next.sent("G\r\n");
    EXPECT_EQ(QFileInfo(path).size(), size);

    QString error;
    LineTrace unwritable(dir.filePath(QStringLiteral("no/such/folder/trace.txt")));
    EXPECT_FALSE(unwritable.open(QStringLiteral("3.2.3"), &error));
    EXPECT_FALSE(error.isEmpty());
}

} // namespace
