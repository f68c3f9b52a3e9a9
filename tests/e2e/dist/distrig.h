#pragma once

// What the tests of the packed program share: short helper programs run to their
// end, a virtual screen of their own, and Power clicked on it.
#include "tests/support/wait.h"

#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

namespace DistRig {

inline constexpr int Generous = 30000;

// Runs a short helper program to its end; returns its standard output. Its standard
// error goes to the test's, unless `error` takes it.
inline QString run(const QString &program, const QStringList &arguments, int *exitCode,
                   const QString &folder = QString(),
                   const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment(),
                   QString *error = nullptr) {
    QProcess p;
    p.setWorkingDirectory(folder);
    p.setProcessEnvironment(env);
    if (!error)
        p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(program, arguments);
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit) {
        p.kill();
        p.waitForFinished();
        *exitCode = -1;
        return {};
    }
    *exitCode = p.exitCode();
    if (error)
        *error = QString::fromLocal8Bit(p.readAllStandardError());
    return QString::fromLocal8Bit(p.readAllStandardOutput());
}

inline void stop(QProcess &p) {
    if (p.state() == QProcess::NotRunning)
        return;
    p.terminate();
    if (!p.waitForFinished(5000)) {
        p.kill();
        p.waitForFinished(5000);
    }
}

// Starts a virtual screen; it names its display once it accepts clients. Returns
// the display (":N"), empty when it did not start.
inline QString startXvfb(QProcess &xvfb) {
    QString display;
    xvfb.start(QStringLiteral("Xvfb"),
               {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                QStringLiteral("0"), QStringLiteral("1024x768x24"), QStringLiteral("-nolisten"),
                QStringLiteral("tcp")});
    const bool started = runUntil(
        &xvfb, &QProcess::readyReadStandardOutput,
        [&] {
            display += QString::fromLatin1(xvfb.readAllStandardOutput());
            return display.endsWith(u'\n');
        },
        Generous);
    return started ? u':' + display.trimmed() : QString();
}

// Starts the simulator by `command` (its program, or a program that starts it, then
// the arguments) with its port linked at `link`. The line saying where it is linked
// comes on standard error once the link is in place; false (and what it said in
// `said`) when it does not come.
inline bool startSim(QProcess &sim, QStringList command, const QString &link, QString *said) {
    const QString program = command.takeFirst();
    sim.start(program, command << QStringLiteral("--link") << link << QStringLiteral("--boot-ms")
                               << QStringLiteral("300"));
    return runUntil(
        &sim, &QProcess::readyReadStandardError,
        [&] {
            *said += QString::fromLocal8Bit(sim.readAllStandardError());
            return said->contains(QStringLiteral("linked as"));
        },
        Generous);
}

// Waits until the program has connected: after the identity line it reads the
// parameters, "G" first. The simulator's log (its standard output) goes to `log`.
inline bool waitForPoll(QProcess &sim, QString *log) {
    const QRegularExpression pollLine(QStringLiteral("^\\d+ RX G$"),
                                      QRegularExpression::MultilineOption);
    return runUntil(
        &sim, &QProcess::readyReadStandardOutput,
        [&] {
            *log += QString::fromLocal8Bit(sim.readAllStandardOutput());
            return pollLine.match(*log).hasMatch();
        },
        Generous);
}

// Power sits at the panel's bottom left, 80 x 28 pixels from (10, 186). There is no
// window manager, so the window's origin is its client area's. Returns xdotool's status.
inline int clickPower(const QProcessEnvironment &env) {
    int status = 0;
    run(QStringLiteral("xdotool"),
        {QStringLiteral("search"), QStringLiteral("--sync"), QStringLiteral("--onlyvisible"),
         QStringLiteral("--name"), QStringLiteral("^KVT Control Panel$"),
         QStringLiteral("mousemove"), QStringLiteral("--window"), QStringLiteral("%1"),
         QStringLiteral("--sync"), QStringLiteral("50"), QStringLiteral("200"),
         QStringLiteral("click"), QStringLiteral("1")},
        &status, QString(), env);
    return status;
}

} // namespace DistRig
