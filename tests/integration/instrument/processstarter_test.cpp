// The real process seam: what the firmware update relies on to judge, to await and to
// end avrdude runs.
#include "instrument/processstarter.h"
#include "tests/support/simpanel.h"
#include "widgets/services.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

TEST(QtProcessStarter, ReportsExitStatusKillAndProgramsThatCannotStart) {
    QtProcessStarter starter;
    EXPECT_EQ(starter.start(QStringLiteral("/nonexistent/avrdude"), {}), nullptr);
    EXPECT_EQ(starter.start(QString(), {}), nullptr);
    QTemporaryDir dir;
    const QString notExecutable = dir.filePath(QStringLiteral("avrdude"));
    QFile(notExecutable).open(QIODevice::WriteOnly);
    EXPECT_EQ(starter.start(notExecutable, {}), nullptr);

    struct Case {
        const char *script;
        std::optional<int> exitCode;
    };
    // Every end is reported once, by finished(), with running() already false.
    auto watch = [](StartedProcess &process, int &ends) {
        QObject::connect(&process, &StartedProcess::finished, &process, [&process, &ends] {
            EXPECT_FALSE(process.running());
            ++ends;
        });
    };
    for (const Case &c : {Case{"exit 0", 0}, Case{"exit 1", 1}, Case{"kill -9 $$", std::nullopt}}) {
        auto process = starter.start(QStringLiteral("/bin/sh"),
                                     {QStringLiteral("-c"), QLatin1String(c.script)});
        ASSERT_NE(process, nullptr) << c.script;
        int ends = 0;
        watch(*process, ends);
        ASSERT_TRUE(runUntil([&] { return ends > 0; }, 10000)) << c.script;
        EXPECT_EQ(process->exitCode(), c.exitCode) << c.script;
        EXPECT_EQ(ends, 1) << c.script;
    }

    // A run that would not end by itself is ended at once and counts as no exit status;
    // arguments pass as they are, blanks included, without a shell.
    auto hanging = starter.start(QStringLiteral("/bin/sleep"), {QStringLiteral("100")});
    ASSERT_NE(hanging, nullptr);
    int ends = 0;
    watch(*hanging, ends);
    EXPECT_TRUE(hanging->running());
    EXPECT_EQ(hanging->exitCode(), std::nullopt);
    hanging->kill();
    EXPECT_FALSE(hanging->running());
    EXPECT_EQ(hanging->exitCode(), std::nullopt);
    EXPECT_EQ(ends, 1);

    const QString marker = dir.filePath(QStringLiteral("a b; c"));
    auto touch = starter.start(QStringLiteral("/usr/bin/touch"), {marker});
    ASSERT_NE(touch, nullptr);
    ASSERT_TRUE(runUntil([&] { return !touch->running(); }, 10000));
    EXPECT_TRUE(QFile::exists(marker));
}

} // namespace
