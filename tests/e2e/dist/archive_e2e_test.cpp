// The archive a technician gets: cpack builds it from this build folder, it unpacks to
// one folder holding exactly the programs, the udev rule and the guide, and the
// unpacked KVT finds the simulator linked as COM2 beside it, and its Power button
// writes KVT.INI into that folder. The panel runs on its own Xvfb, and Power is
// clicked there by position with xdotool, so the test needs no object name.
#include "tests/support/wait.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

constexpr int Generous = 30000;

// Runs a short helper program to its end; returns its standard output.
QString run(const QString &program, const QStringList &arguments, int *exitCode,
            const QString &folder = QString(),
            const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment()) {
    QProcess p;
    p.setWorkingDirectory(folder);
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(program, arguments);
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit) {
        p.kill();
        p.waitForFinished();
        *exitCode = -1;
        return {};
    }
    *exitCode = p.exitCode();
    return QString::fromLocal8Bit(p.readAllStandardOutput());
}

void stop(QProcess &p) {
    if (p.state() == QProcess::NotRunning)
        return;
    p.terminate();
    if (!p.waitForFinished(5000)) {
        p.kill();
        p.waitForFinished(5000);
    }
}

class UnpackedArchive : public ::testing::Test {
protected:
    void TearDown() override {
        stop(kvt);
        stop(sim);
        stop(xvfb);
    }

    QTemporaryDir work;
    QProcess xvfb;
    QProcess sim;
    QProcess kvt;
};

TEST_F(UnpackedArchive, HoldsOneFolderWhoseProgramConnectsAndSavesBesideItself) {
#ifdef KVT_SANITIZED
    GTEST_SKIP() << "the archive is made from the plain build; the sanitizer build packs "
                    "nothing a technician would get";
#endif
    ASSERT_TRUE(work.isValid());
    const QString packages = work.filePath(QStringLiteral("packages"));
    const QString unpacked = work.filePath(QStringLiteral("unpacked"));
    ASSERT_TRUE(QDir().mkpath(unpacked));

    int status = 0;
    run(QStringLiteral(KVT_CPACK),
        {QStringLiteral("-G"), QStringLiteral("TGZ"), QStringLiteral("-B"), packages}, &status,
        QStringLiteral(KVT_BUILD_DIR));
    ASSERT_EQ(status, 0) << "cpack failed";
    const QString archive =
        QDir(packages).filePath(QStringLiteral("KVT-" KVT_VERSION "-Linux.tar.gz"));
    ASSERT_TRUE(QFile::exists(archive)) << QDir(packages).entryList().join(u' ').toStdString();

    run(QStringLiteral("tar"), {QStringLiteral("-xzf"), archive, QStringLiteral("-C"), unpacked},
        &status);
    ASSERT_EQ(status, 0) << "tar failed";
    const QStringList top = QDir(unpacked).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    ASSERT_EQ(top, QStringList{QStringLiteral("KVT")});
    const QDir folder(QDir(unpacked).filePath(QStringLiteral("KVT")));
    // Exactly these: no simulator, test or benchmark slips into what technicians get.
    EXPECT_EQ(folder.entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name),
              (QStringList{"60-kvt-serial.rules", "GUIDE.md", "KVT", "install"}));
    const QString program = folder.filePath(QStringLiteral("KVT"));
    for (const QString &name : {QStringLiteral("KVT"), QStringLiteral("install")}) {
        const QFileInfo info(folder.filePath(name));
        EXPECT_TRUE(info.isFile() && info.isExecutable()) << name.toStdString();
        // Qt comes from the system: a build folder's RPATH would point at nothing
        // on the technician's machine.
        const QString dynamic =
            run(QStringLiteral("readelf"), {QStringLiteral("--dynamic"), info.filePath()}, &status);
        EXPECT_EQ(status, 0);
        EXPECT_FALSE(dynamic.contains(QStringLiteral("RPATH")) ||
                     dynamic.contains(QStringLiteral("RUNPATH")))
            << name.toStdString() << ":\n"
            << dynamic.toStdString();
    }
    ASSERT_FALSE(QFile::exists(folder.filePath(QStringLiteral("KVT.INI"))));

    // A virtual screen of its own; it names its display once it accepts clients.
    QString display;
    xvfb.start(QStringLiteral("Xvfb"),
               {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                QStringLiteral("0"), QStringLiteral("1024x768x24"), QStringLiteral("-nolisten"),
                QStringLiteral("tcp")});
    ASSERT_TRUE(runUntil(
        &xvfb, &QProcess::readyReadStandardOutput,
        [&] {
            display += QString::fromLatin1(xvfb.readAllStandardOutput());
            return display.endsWith(u'\n');
        },
        Generous))
        << "Xvfb did not start";
    display = u':' + display.trimmed();

    // The simulator's log goes to its standard output; the line saying where it is
    // linked comes on standard error once the link is in place.
    QString simLog, simSays;
    sim.start(QStringLiteral(KVT_SIM),
              {QStringLiteral("--link"), folder.filePath(QStringLiteral("COM2")),
               QStringLiteral("--boot-ms"), QStringLiteral("300")});
    ASSERT_TRUE(runUntil(
        &sim, &QProcess::readyReadStandardError,
        [&] {
            simSays += QString::fromLocal8Bit(sim.readAllStandardError());
            return simSays.contains(QStringLiteral("linked as"));
        },
        Generous))
        << simSays.toStdString();

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.insert(QStringLiteral("DISPLAY"), display);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    kvt.setProcessEnvironment(env);
    // Started from elsewhere: the program must use its own folder, not the current one.
    kvt.setWorkingDirectory(QDir::rootPath());
    kvt.setProcessChannelMode(QProcess::ForwardedChannels);
    kvt.start(program, {});
    ASSERT_TRUE(kvt.waitForStarted(Generous));

    // Connected: after the identity line the program reads the parameters, "G" first.
    const QRegularExpression pollLine(QStringLiteral("^\\d+ RX G$"),
                                      QRegularExpression::MultilineOption);
    ASSERT_TRUE(runUntil(
        &sim, &QProcess::readyReadStandardOutput,
        [&] {
            simLog += QString::fromLocal8Bit(sim.readAllStandardOutput());
            return pollLine.match(simLog).hasMatch();
        },
        Generous))
        << simLog.toStdString();
    ASSERT_EQ(kvt.state(), QProcess::Running);

    // Power sits at the panel's bottom left, 80 x 28 pixels from (10, 186). There is no
    // window manager, so the window's origin is its client area's.
    run(QStringLiteral("xdotool"),
        {QStringLiteral("search"), QStringLiteral("--sync"), QStringLiteral("--onlyvisible"),
         QStringLiteral("--name"), QStringLiteral("^KVT Control Panel$"),
         QStringLiteral("mousemove"), QStringLiteral("--window"), QStringLiteral("%1"),
         QStringLiteral("--sync"), QStringLiteral("50"), QStringLiteral("200"),
         QStringLiteral("click"), QStringLiteral("1")},
        &status, QString(), env);
    ASSERT_EQ(status, 0) << "xdotool failed";

    ASSERT_TRUE(kvt.waitForFinished(Generous)) << "Power did not end the program";
    EXPECT_EQ(kvt.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(kvt.exitCode(), 0);
    QFile settings(folder.filePath(QStringLiteral("KVT.INI")));
    ASSERT_TRUE(settings.open(QIODevice::ReadOnly)) << "no KVT.INI beside the program";
    EXPECT_TRUE(settings.readLine().trimmed() == "COM Port=2");
}

} // namespace
