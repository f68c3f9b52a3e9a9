// Procedures started from a click or a timer: kept alive while they wait, ended
// quietly when cancelled, every other failure reported once, from the event loop.
#include "link/procedure.h"
#include "link/timesource.h"
#include "link/waits.h"
#include "tests/support/manualclock.h"

#include <QCoreApplication>
#include <gtest/gtest.h>
#include <stdexcept>

namespace {

QCoro::Task<> waitThen(WaitSet &waits, int ms, int outcome, int *steps) {
    co_await waits.wait(ms);
    ++*steps;
    if (outcome == 1)
        throw std::runtime_error("port vanished");
    if (outcome == 2)
        throw 42; // not an exception class
}

} // namespace

TEST(Procedure, KeptAliveWhileWaitingAndOnlyRealFailuresReported) {
    const struct {
        int outcome; // 0 ends normally, 1 throws std::exception, 2 throws something else
        bool cancel; // the program goes away during the wait
        QStringList reports;
        int steps;
    } cases[] = {
        {0, false, {}, 1},
        {1, false, {"port vanished"}, 1},
        {2, false, {"unknown exception"}, 1},
        {1, true, {}, 0}, // cancelled before it could fail: quiet
    };
    for (const auto &c : cases) {
        ManualClock clock;
        WaitSet waits(clock);
        QStringList reports;
        int steps = 0;
        runProcedure(waitThen(waits, 100, c.outcome, &steps),
                     [&](const QString &what) { reports << what; });
        clock.advance(50);
        EXPECT_EQ(steps, 0) << "still waiting";
        if (c.cancel)
            waits.cancelAll();
        clock.advance(100);
        EXPECT_EQ(steps, c.steps) << c.outcome;
        // Reported from the event loop, not inside the wake-up that ended the procedure.
        EXPECT_TRUE(reports.isEmpty()) << c.outcome;
        QCoreApplication::sendPostedEvents();
        EXPECT_EQ(reports, c.reports) << c.outcome;
    }
}
