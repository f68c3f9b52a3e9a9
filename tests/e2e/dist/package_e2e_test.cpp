// The Debian package: cpack makes it from this build folder, lintian (pedantic) finds no
// error or warning in it, its menu entry and AppStream data are valid, its icons come in
// every size, the program is hardened, refuses a wrong option and a missing home without
// a display, and the program unpacked from it (dpkg-deb -x into a temporary root) runs as an
// unprivileged user whose ~/.config/KVT/COM2 links to the simulator: it connects, its
// Power button writes ~/.config/KVT/KVT.INI, and nothing under the root changes, even
// though that user may write there (a program saving beside itself would be caught).
#include "tests/e2e/dist/distrig.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <pwd.h>
#include <unistd.h>
#include <utility>

namespace {

using namespace DistRig;

// The width and height a PNG file's header gives; (0, 0) when it is no PNG.
std::pair<int, int> pngSize(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {0, 0};
    const QByteArray head = file.read(24);
    if (head.size() < 24 || !head.startsWith("\x89PNG\r\n\x1a\n") || head.mid(12, 4) != "IHDR")
        return {0, 0};
    const auto number = [&](int at) {
        return int((uchar(head[at]) << 24) | (uchar(head[at + 1]) << 16) |
                   (uchar(head[at + 2]) << 8) | uchar(head[at + 3]));
    };
    return {number(16), number(20)};
}

// Every path under `root` with its size and time of change.
QStringList snapshot(const QString &root) {
    QStringList entries;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        entries << QDir(root).relativeFilePath(info.filePath()) + u' ' +
                       QString::number(info.size()) + u' ' +
                       QString::number(info.lastModified().toMSecsSinceEpoch());
    }
    entries.sort();
    return entries;
}

class DebianPackage : public ::testing::Test {
protected:
    void TearDown() override {
        stop(kvt);
        stop(sim);
        stop(xvfb);
    }

    // Run as root, the programs are started as "nobody" through setpriv; otherwise the
    // test's own user is unprivileged already.
    QStringList asUser(const QString &program) const {
        if (geteuid() != 0)
            return {program};
        return {QStringLiteral("setpriv"), QStringLiteral("--reuid=%1").arg(uid),
                QStringLiteral("--regid=%1").arg(gid), QStringLiteral("--clear-groups"), program};
    }
    // Gives the files under `path` to that user.
    void giveToUser(const QString &path) const {
        if (geteuid() != 0)
            return;
        int status = 0;
        run(QStringLiteral("chown"),
            {QStringLiteral("-R"), QStringLiteral("%1:%2").arg(uid).arg(gid), path}, &status);
        ASSERT_EQ(status, 0) << "chown " << path.toStdString();
    }

    uid_t uid = 0;
    gid_t gid = 0;
    QTemporaryDir work;
    QProcess xvfb;
    QProcess sim;
    QProcess kvt;
};

TEST_F(DebianPackage, PassesLintianAndKeepsEachUsersFilesInTheirHome) {
#ifdef KVT_SANITIZED
    GTEST_SKIP() << "the package is made from the plain build; the sanitizer build packs "
                    "nothing a user would get";
#endif
    if (geteuid() == 0) {
        const passwd *nobody = getpwnam("nobody");
        ASSERT_NE(nobody, nullptr) << "no user nobody to run the program as";
        uid = nobody->pw_uid;
        gid = nobody->pw_gid;
    }
    ASSERT_TRUE(work.isValid());
    // The other user must reach the root and the home inside.
    ASSERT_TRUE(QFile::setPermissions(work.path(), QFile::permissions(work.path()) |
                                                       QFileDevice::ExeOther |
                                                       QFileDevice::ReadOther));
    const QDir packages(work.filePath(QStringLiteral("packages")));
    const QString root = work.filePath(QStringLiteral("root"));
    const QString home = work.filePath(QStringLiteral("home"));

    int status = 0;
    run(QStringLiteral(KVT_CPACK),
        {QStringLiteral("-G"), QStringLiteral("DEB"), QStringLiteral("-B"), packages.path()},
        &status, QStringLiteral(KVT_BUILD_DIR));
    ASSERT_EQ(status, 0) << "cpack failed";
    const QStringList made =
        packages.entryList({QStringLiteral("kvt_" KVT_VERSION "_*.deb")}, QDir::Files);
    ASSERT_EQ(made.size(), 1) << packages.entryList().join(u' ').toStdString();
    const QString deb = packages.filePath(made.front());

    const QString fields =
        run(QStringLiteral("dpkg-deb"),
            {QStringLiteral("--field"), deb, QStringLiteral("Package"), QStringLiteral("Section"),
             QStringLiteral("Recommends"), QStringLiteral("Depends")},
            &status);
    ASSERT_EQ(status, 0);
    EXPECT_TRUE(fields.contains(QStringLiteral("Package: kvt\n")) &&
                fields.contains(QStringLiteral("Section: electronics\n")) &&
                fields.contains(QStringLiteral("Recommends: avrdude\n")) &&
                fields.contains(QStringLiteral("libqt6serialport6")) &&
                fields.contains(QStringLiteral("libqt6widgets6")))
        << fields.toStdString();

    // What the package depends on and recommends is the one list of runtime packages
    // that GUIDE.md shows and install-deps.sh --runtime installs, besides the C and C++
    // run time every system has.
    QStringList needed;
    for (const QString &field : fields.split(u'\n', Qt::SkipEmptyParts)) {
        if (!field.startsWith(QStringLiteral("Depends: ")) &&
            !field.startsWith(QStringLiteral("Recommends: ")))
            continue;
        for (const QString &entry : field.section(u' ', 1).split(u','))
            needed << entry.trimmed().section(u' ', 0, 0);
    }
    for (const char *base : {"libc6", "libgcc-s1", "libstdc++6"})
        needed.removeAll(QLatin1String(base));
    needed.sort();
    QStringList listed = QStringLiteral(KVT_RUNTIME_PACKAGES).split(u' ');
    listed.sort();
    EXPECT_EQ(needed, listed) << "packaging/runtime-packages differs from the package's "
                                 "dependencies";

    QString lintianErrors;
    const QString lintian =
        run(QStringLiteral("lintian"),
            {QStringLiteral("--pedantic"), QStringLiteral("--fail-on"),
             QStringLiteral("error,warning"), deb},
            &status, QString(), QProcessEnvironment::systemEnvironment(), &lintianErrors);
    EXPECT_EQ(status, 0) << lintian.toStdString() << lintianErrors.toStdString();
    EXPECT_FALSE(lintian.contains(QStringLiteral("hardening"))) << lintian.toStdString();

    run(QStringLiteral("dpkg-deb"), {QStringLiteral("-x"), deb, root}, &status);
    ASSERT_EQ(status, 0) << "dpkg-deb -x failed";
    // The program alone: the installer is not packed, the udev rule is placed by the
    // package itself.
    EXPECT_EQ(
        QDir(root + QStringLiteral("/usr/bin")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
        QStringList{QStringLiteral("kvt")});
    const QString id = QStringLiteral(KVT_APP_ID);
    const QString desktopEntry =
        root + QStringLiteral("/usr/share/applications/%1.desktop").arg(id);
    const QString metainfo = root + QStringLiteral("/usr/share/metainfo/%1.metainfo.xml").arg(id);
    for (const QString &file :
         {root + QStringLiteral("/usr/lib/udev/rules.d/60-kvt-serial.rules"), desktopEntry,
          metainfo, root + QStringLiteral("/usr/share/icons/hicolor/scalable/apps/%1.svg").arg(id),
          root + QStringLiteral("/usr/share/man/man1/kvt.1.gz"),
          root + QStringLiteral("/usr/share/doc/kvt/GUIDE.md"),
          root + QStringLiteral("/usr/share/doc/kvt/copyright")})
        EXPECT_TRUE(QFileInfo(file).isFile()) << file.toStdString();
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        const QString icon =
            root + QStringLiteral("/usr/share/icons/hicolor/%1x%1/apps/%2.png").arg(size).arg(id);
        EXPECT_EQ(pngSize(icon), std::make_pair(size, size)) << icon.toStdString();
    }
    const QString program = root + QStringLiteral("/usr/bin/kvt");
    QString said;

    // The user service starts the installed program without a window; systemd finds
    // nothing wrong in it. It is checked as installed, its program and manual page
    // looked for in the unpacked root (systemd-analyze runs them from the real /usr).
    QFile unit(root + QStringLiteral("/usr/lib/systemd/user/kvt-remote.service"));
    ASSERT_TRUE(unit.open(QIODevice::ReadOnly)) << "no user service in the package";
    const QString unitText = QString::fromUtf8(unit.readAll());
    for (const char *line :
         {"\nExecStart=/usr/bin/kvt --no-window --remote 5025\n", "\nRestart=on-failure\n",
          "\nRestartSec=5\n", "\nWantedBy=default.target\n", "\nDocumentation=man:kvt(1)\n"})
        EXPECT_TRUE(unitText.contains(QLatin1String(line))) << line;
    QFile mapped(work.filePath(QStringLiteral("kvt-remote.service")));
    ASSERT_TRUE(mapped.open(QIODevice::WriteOnly));
    mapped.write(QString(unitText).replace(QStringLiteral("/usr/bin/kvt"), program).toUtf8());
    mapped.close();
    QProcessEnvironment verifyEnv = QProcessEnvironment::systemEnvironment();
    verifyEnv.insert(QStringLiteral("MANPATH"), root + QStringLiteral("/usr/share/man"));
    const QString runtime = work.filePath(QStringLiteral("runtime"));
    ASSERT_TRUE(QDir().mkpath(runtime));
    verifyEnv.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    const QString verified =
        run(QStringLiteral("systemd-analyze"),
            {QStringLiteral("--user"), QStringLiteral("verify"), mapped.fileName()}, &status,
            QString(), verifyEnv, &said);
    EXPECT_EQ(status, 0) << verified.toStdString() << said.toStdString();
    EXPECT_EQ(verified + said, QString());

    // What software centres and menus read is valid, without warnings.
    const QString desktopCheck =
        run(QStringLiteral("desktop-file-validate"), {desktopEntry}, &status, QString(),
            QProcessEnvironment::systemEnvironment(), &said);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(desktopCheck + said, QString());
    const QString appstream =
        run(QStringLiteral("appstreamcli"),
            {QStringLiteral("validate"), QStringLiteral("--no-net"), metainfo}, &status);
    EXPECT_EQ(status, 0) << appstream.toStdString();
    EXPECT_FALSE(appstream.contains(QStringLiteral("W: ")) ||
                 appstream.contains(QStringLiteral("E: ")))
        << appstream.toStdString();
    EXPECT_TRUE(appstream.contains(QStringLiteral("Validation was successful")))
        << appstream.toStdString();

    // Built with Debian's hardening. Whether fortified calls are there depends on the
    // calls the program makes; lintian judges that.
    const QString hardening = run(QStringLiteral("hardening-check"), {program}, &status);
    for (const char *line : {"Position Independent Executable: yes", "Stack protected: yes",
                             "Read-only relocations: yes", "Immediate binding: yes"})
        EXPECT_TRUE(hardening.contains(QLatin1String(line))) << line << "\n"
                                                             << hardening.toStdString();

    // The user may write anywhere under the root, so only the program's choice of
    // folders keeps it unchanged.
    giveToUser(root);
    const QString settings = home + QStringLiteral("/.config/KVT");
    ASSERT_TRUE(QDir().mkpath(settings));
    giveToUser(home);
    const QStringList before = snapshot(root);

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"WAYLAND_DISPLAY", "DISPLAY", "XAUTHORITY", "XDG_CONFIG_HOME",
                             "XDG_DATA_HOME", "XDG_RUNTIME_DIR"})
        env.remove(QLatin1String(name));
    env.insert(QStringLiteral("HOME"), home);

    // --help says where the files are, and needs no display; nor does a wrong option.
    QStringList help = asUser(program) << QStringLiteral("--help");
    const QString helpText = run(help.takeFirst(), help, &status, QDir::rootPath(), env);
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(helpText.contains(settings) &&
                helpText.contains(home + QStringLiteral("/.local/share/KVT")))
        << helpText.toStdString();
    QStringList bogus = asUser(program) << QStringLiteral("--bogus");
    run(bogus.takeFirst(), bogus, &status, QDir::rootPath(), env, &said);
    EXPECT_EQ(status, 1);
    EXPECT_TRUE(said.contains(QStringLiteral("Unknown option 'bogus'"))) << said.toStdString();
    // Without a home the program names no folder under / and ends.
    QProcessEnvironment homeless = env;
    homeless.remove(QStringLiteral("HOME"));
    homeless.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    QStringList started = asUser(program);
    run(started.takeFirst(), started, &status, QDir::rootPath(), homeless, &said);
    EXPECT_EQ(status, 1);
    EXPECT_TRUE(said.contains(QStringLiteral("HOME is not set"))) << said.toStdString();

    const QString display = startXvfb(xvfb);
    ASSERT_FALSE(display.isEmpty()) << "Xvfb did not start";
    env.insert(QStringLiteral("DISPLAY"), display);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));

    // The simulator runs as the same user, who may then open its pseudo-terminal; a
    // copy in the work folder, which that user can reach wherever the build is.
    const QString simCopy = work.filePath(QStringLiteral("kvt-sim"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(KVT_SIM), simCopy));
    sim.setProcessEnvironment(env);
    QString simLog, simSays;
    ASSERT_TRUE(startSim(sim, asUser(simCopy), settings + QStringLiteral("/COM2"), &simSays))
        << simSays.toStdString();

    kvt.setProcessEnvironment(env);
    // Started in its own folder: a file written to the current folder would be seen too.
    kvt.setWorkingDirectory(root + QStringLiteral("/usr/bin"));
    kvt.setProcessChannelMode(QProcess::ForwardedChannels);
    QStringList command = asUser(program);
    kvt.start(command.takeFirst(), command);
    ASSERT_TRUE(kvt.waitForStarted(Generous));
    ASSERT_TRUE(waitForPoll(sim, &simLog)) << simLog.toStdString();
    ASSERT_EQ(kvt.state(), QProcess::Running);

    ASSERT_EQ(clickPower(env), 0) << "xdotool failed";
    ASSERT_TRUE(kvt.waitForFinished(Generous)) << "Power did not end the program";
    EXPECT_EQ(kvt.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(kvt.exitCode(), 0);
    QFile saved(settings + QStringLiteral("/KVT.INI"));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly)) << "no KVT.INI in ~/.config/KVT";
    EXPECT_TRUE(saved.readLine().trimmed() == "COM Port=2");
    EXPECT_EQ(snapshot(root), before) << "the program wrote under its install root";
}

} // namespace
