// The archive a technician gets: cpack builds it from this build folder, it unpacks to
// one folder holding exactly the programs, the udev rule and the guide, and the
// unpacked KVT finds the simulator linked as COM2 beside it, and its Power button
// writes KVT.INI into that folder. The panel runs on its own Xvfb, and Power is
// clicked there by position with xdotool, so the test needs no object name.
#include "tests/e2e/dist/distrig.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using namespace DistRig;

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

    const QString display = startXvfb(xvfb);
    ASSERT_FALSE(display.isEmpty()) << "Xvfb did not start";

    QString simLog, simSays;
    ASSERT_TRUE(
        startSim(sim, {QStringLiteral(KVT_SIM)}, folder.filePath(QStringLiteral("COM2")), &simSays))
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

    ASSERT_TRUE(waitForPoll(sim, &simLog)) << simLog.toStdString();
    ASSERT_EQ(kvt.state(), QProcess::Running);

    ASSERT_EQ(clickPower(env), 0) << "xdotool failed";

    ASSERT_TRUE(kvt.waitForFinished(Generous)) << "Power did not end the program";
    EXPECT_EQ(kvt.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(kvt.exitCode(), 0);
    QFile settings(folder.filePath(QStringLiteral("KVT.INI")));
    ASSERT_TRUE(settings.open(QIODevice::ReadOnly)) << "no KVT.INI beside the program";
    EXPECT_TRUE(settings.readLine().trimmed() == "COM Port=2");
}

} // namespace
