#include "tests/support/wait.h"

bool runUntil(const std::function<bool()> &done, int ms) {
    QEventLoop loop;
    QTimer poll, limit;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    QObject::connect(&limit, &QTimer::timeout, &loop, [&] { loop.quit(); });
    poll.start(1);
    limit.setSingleShot(true);
    limit.start(ms);
    if (!done())
        loop.exec();
    return done();
}
