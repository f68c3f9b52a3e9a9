#pragma once

// Waiting for something without sleeping: the event loop runs meanwhile, so timers,
// processes and ports deliver at once.

#include <QEventLoop>
#include <QObject>
#include <QProcess>
#include <QTimer>

#include <functional>
#include <type_traits>

// Runs the event loop until `done` holds or `ms` have passed; returns done(). Unlike
// QTest::qWaitFor, which sleeps 10 ms between rounds, it lets the program and the
// simulator react at once, so an exchange runs at the pace it has in the real program.
bool runUntil(const std::function<bool()> &done, int ms);

// Runs the event loop until `done` holds, re-checking whenever `sender` emits `signal`,
// or until `ms` have passed (or, for a process, until it has finished); returns done().
template <typename Sender, typename Signal, typename Done>
bool runUntil(Sender *sender, Signal signal, Done done, int ms) {
    if (done())
        return true;
    QEventLoop loop;
    QTimer timeout;
    timeout.setSingleShot(true);
    QObject::connect(&timeout, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(sender, signal, &loop, [&] {
        if (done())
            loop.quit();
    });
    if constexpr (std::is_base_of_v<QProcess, Sender>)
        QObject::connect(sender, &QProcess::finished, &loop, &QEventLoop::quit);
    timeout.start(ms);
    loop.exec();
    return done();
}
