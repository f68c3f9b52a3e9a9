// The installer with the Linux layout against a temporary root folder: real files,
// recorded process starts.
#include "install/localsystem.h"
#include "tests/support/installfakes.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <map>

using Installer::FileResult;
using InstallerTest::RecordingHost;

namespace {

const QStringList kTrigger = {QStringLiteral("trigger"), QStringLiteral("--subsystem-match=tty"),
                              QStringLiteral("--action=add")};

class LinuxRoot {
public:
    LinuxRoot() {
        EXPECT_TRUE(m_dir.isValid());
        mkdir(QStringLiteral("/home/user"));
        mkdir(QStringLiteral("/opt/kvt"));
    }

    QString path(const QString &p) const { return m_dir.path() + p; }
    void mkdir(const QString &p) const { ASSERT_TRUE(QDir().mkpath(path(p))); }
    void write(const QString &p, const QByteArray &content) const {
        QFile f(path(p));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    QByteArray read(const QString &p) const {
        QFile f(path(p));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    // Every file below the root, relative to it, sorted.
    QStringList files() const {
        QStringList all;
        QDirIterator it(m_dir.path(), QDir::Files | QDir::Hidden | QDir::System,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            all << it.next().mid(m_dir.path().size());
        all.sort();
        return all;
    }

    Installer::InstallOutcome run(RecordingHost &host) const {
        Installer::LocalFiles localFiles(m_dir.path(), path(QStringLiteral("/home/user")));
        return Installer::runInstaller(Installer::linuxLayout(QStringLiteral("/opt/kvt")),
                                       localFiles, host);
    }

private:
    QTemporaryDir m_dir;
};

const QString kEtcRule = QStringLiteral("/etc/udev/rules.d/60-kvt-serial.rules");
const QString kLibRule = QStringLiteral("/lib/udev/rules.d/60-kvt-serial.rules");

struct Case {
    const char *name;
    bool etcFolder;
    bool libFolder;
    const char *ruleInCurrent; // nullptr: absent
    const char *ruleBeside;    // in the installer's folder; nullptr: absent
    const char *existing;      // already in the target folder; nullptr: absent
    QString expectedPlace;     // empty: nothing placed
    QByteArray expectedContent;
    const char *reason = ""; // in the message when nothing was placed
};

void PrintTo(const Case &c, std::ostream *os) {
    *os << c.name;
}

class LinuxInstall : public testing::TestWithParam<Case> {};

TEST_P(LinuxInstall, PlacesTheRuleAndTriggersUdev) {
    const Case c = GetParam();
    LinuxRoot root;
    if (c.etcFolder)
        root.mkdir(QStringLiteral("/etc/udev/rules.d"));
    if (c.libFolder)
        root.mkdir(QStringLiteral("/lib/udev/rules.d"));
    if (c.ruleInCurrent)
        root.write(QStringLiteral("/home/user/60-kvt-serial.rules"), c.ruleInCurrent);
    if (c.ruleBeside)
        root.write(QStringLiteral("/opt/kvt/60-kvt-serial.rules"), c.ruleBeside);
    if (c.existing)
        root.write(c.expectedPlace, c.existing);
    QStringList before = root.files();
    RecordingHost host;

    const auto outcome = root.run(host);

    // Nothing is written but the placed rule: no probe copy in the user's folder.
    QStringList after = root.files();
    if (!c.expectedPlace.isEmpty()) {
        EXPECT_EQ(root.read(c.expectedPlace), c.expectedContent);
        if (!before.contains(c.expectedPlace))
            before << c.expectedPlace;
        before.sort();
    }
    EXPECT_EQ(after, before);
    if (c.expectedPlace != kLibRule) {
        EXPECT_FALSE(QFile::exists(root.path(kLibRule)));
    }

    EXPECT_TRUE(host.messages.isEmpty());
    if (c.expectedPlace.isEmpty()) {
        // Not placed: the reason and the remedy on standard error, nothing triggered,
        // and the run fails.
        ASSERT_EQ(host.err.size(), 1);
        EXPECT_TRUE(host.err[0].contains(QLatin1String(c.reason))) << host.err[0].toStdString();
        EXPECT_TRUE(host.err[0].contains(QLatin1String("sudo")));
        EXPECT_TRUE(host.out.isEmpty());
        EXPECT_TRUE(host.starts.isEmpty());
        EXPECT_EQ(Installer::exitStatus(Installer::linuxLayout({}), outcome), 1);
        return;
    }
    EXPECT_EQ(host.out,
              QStringList{QStringLiteral("The rule was placed at %1.").arg(c.expectedPlace)});
    EXPECT_TRUE(host.err.isEmpty());
    ASSERT_EQ(host.starts.size(), 1);
    EXPECT_EQ(host.starts[0].program, QStringLiteral("udevadm"));
    EXPECT_EQ(host.starts[0].arguments, kTrigger);
    EXPECT_EQ(Installer::exitStatus(Installer::linuxLayout({}), outcome), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, LinuxInstall,
    testing::Values(
        Case{"placed_in_etc", true, true, "new", nullptr, nullptr, kEtcRule, "new"},
        Case{"existing_rule_overwritten", true, false, "new", nullptr, "old rule", kEtcRule, "new"},
        Case{"no_etc_folder_uses_lib", false, true, "new", nullptr, nullptr, kLibRule, "new"},
        Case{"taken_beside_installer", true, false, nullptr, "beside", nullptr, kEtcRule, "beside"},
        Case{"current_folder_wins", true, false, "current", "beside", nullptr, kEtcRule, "current"},
        Case{"rule_missing_fails", true, false, nullptr, nullptr, nullptr, QString(), QByteArray(),
             "60-kvt-serial.rules was not found"},
        Case{"no_rules_folder_fails", false, false, "new", nullptr, nullptr, QString(),
             QByteArray(), "neither /etc/udev/rules.d/ nor /lib/udev/rules.d/ exists"}),
    [](const testing::TestParamInfo<Case> &info) { return std::string(info.param.name); });

TEST(LinuxInstall, PlacedRuleIsNeverWritableByOthers) {
    LinuxRoot root;
    root.mkdir(QStringLiteral("/etc/udev/rules.d"));
    root.write(QStringLiteral("/home/user/60-kvt-serial.rules"), "rule");
    QFile::setPermissions(root.path(QStringLiteral("/home/user/60-kvt-serial.rules")),
                          QFileDevice::Permissions(0x7777));
    RecordingHost host;

    root.run(host);

    const auto perms = QFile::permissions(root.path(kEtcRule));
    EXPECT_TRUE(perms & QFileDevice::ReadOther);
    EXPECT_FALSE(perms & (QFileDevice::WriteOther | QFileDevice::WriteGroup));
}

TEST(LinuxInstall, RuleThatCannotBeWrittenIsReportedWithItsRemedy) {
    LinuxRoot root;
    root.mkdir(QStringLiteral("/etc/udev/rules.d"));
    root.write(QStringLiteral("/home/user/60-kvt-serial.rules"), "rule");
    // A folder where the rule should go cannot be replaced by a copy.
    root.mkdir(kEtcRule);
    RecordingHost host;

    const auto outcome = root.run(host);

    EXPECT_EQ(outcome.copy, FileResult::OtherError);
    EXPECT_TRUE(host.starts.isEmpty());
    EXPECT_TRUE(host.messages.isEmpty());
    ASSERT_EQ(host.err.size(), 1);
    EXPECT_TRUE(host.err[0].startsWith(
        QStringLiteral("The rule could not be placed at %1: ").arg(kEtcRule)));
    EXPECT_TRUE(host.err[0].contains(QLatin1String("sudo"))) << host.err[0].toStdString();
    EXPECT_EQ(Installer::exitStatus(Installer::linuxLayout({}), outcome), 1);
}

TEST(LinuxInstall, TriggerThatCannotStartIsReported) {
    LinuxRoot root;
    root.mkdir(QStringLiteral("/etc/udev/rules.d"));
    root.write(QStringLiteral("/home/user/60-kvt-serial.rules"), "rule");
    RecordingHost host;
    host.canStart = false;

    const auto outcome = root.run(host);

    EXPECT_FALSE(outcome.started);
    ASSERT_EQ(host.messages.size(), 1);
    EXPECT_TRUE(host.messages[0].text.contains(QStringLiteral("udevadm")));
}

// The shipped rule: access for the user at the seat, through logind's ACL, on USB
// serial devices only, and no device mode that anyone may write.
TEST(ShippedRule, GrantsSeatAccessToUsbSerialAndNothingWorldWritable) {
    QFile file(QStringLiteral(KVT_RULE_FILE));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly | QIODevice::Text));
    QStringList rules;
    for (const QString &line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
        const QString t = line.trimmed();
        if (!t.isEmpty() && !t.startsWith(QLatin1Char('#')))
            rules << t;
    }
    ASSERT_FALSE(rules.isEmpty());
    for (const QString &rule : rules) {
        SCOPED_TRACE(rule.toStdString());
        EXPECT_TRUE(rule.contains(QStringLiteral("SUBSYSTEM==\"tty\"")));
        EXPECT_TRUE(rule.contains(QStringLiteral("SUBSYSTEMS==\"usb\"")));
        EXPECT_TRUE(rule.contains(QStringLiteral("TAG+=\"uaccess\"")));
        const auto mode =
            QRegularExpression(QStringLiteral("MODE\\s*:?=\\s*\"([0-7]+)\"")).match(rule);
        if (mode.hasMatch()) {
            EXPECT_EQ(mode.captured(1).toInt(nullptr, 8) & 0002, 0);
        }
        EXPECT_FALSE(rule.contains(QStringLiteral("GROUP")))
            << "access comes from the seat, not from a group everyone might be in";
    }
    // udev applies "uaccess" in 73-seat-late.rules: the tag must be set before that.
    EXPECT_LT(Installer::RuleFileName.left(2).toInt(), 73);
}

} // namespace

namespace {

// The real starter: a program that is there starts, one that is not gives a reason.
TEST(DesktopHost, StartsDetachedOrSaysWhyNot) {
    Installer::DesktopHost host;
    QString reason;
    EXPECT_TRUE(host.startDetached(QStringLiteral("true"), {QStringLiteral("a b;c")}, &reason));
    EXPECT_FALSE(host.startDetached(QStringLiteral("/nonexistent/kvt-udevadm"),
                                    {QStringLiteral("trigger")}, &reason));
    EXPECT_FALSE(reason.isEmpty());
}

} // namespace

namespace {

// Without a display the installer does its work with no window and says on the terminal
// what happened, instead of aborting in QApplication. The program is run from a folder
// without the rule, so it fails (status 1, with the reason) before touching any system
// folder, root or not.
TEST(LinuxInstall, WithoutADisplayReportsOnTheTerminalInsteadOfAborting) {
    const auto env = [](std::map<std::string, QString> vars) {
        return [vars](const char *name) {
            const auto it = vars.find(name);
            return it == vars.end() ? QString() : it->second;
        };
    };
    EXPECT_FALSE(Installer::windowSystemAvailable(env({})));
    EXPECT_FALSE(Installer::windowSystemAvailable(env({{"QT_QPA_PLATFORM", "xcb"}})));
    EXPECT_FALSE(Installer::windowSystemAvailable(env({{"QT_QPA_PLATFORM", "wayland;xcb"}})));
    EXPECT_TRUE(Installer::windowSystemAvailable(env({{"DISPLAY", ":0"}})));
    EXPECT_TRUE(Installer::windowSystemAvailable(env({{"WAYLAND_DISPLAY", "wayland-0"}})));
    EXPECT_TRUE(Installer::windowSystemAvailable(env({{"QT_QPA_PLATFORM", "offscreen"}})));
    EXPECT_TRUE(Installer::windowSystemAvailable(
        env({{"QT_QPA_PLATFORM", "wayland;xcb:x=1"}, {"DISPLAY", ":1"}})));

    QTemporaryDir folder;
    const QString program = folder.filePath(QStringLiteral("install"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(KVT_INSTALL_PROGRAM), program));
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QLatin1String(name));
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(folder.path());
    process.start(program, {});
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 1);
    EXPECT_TRUE(process.readAllStandardError().contains("60-kvt-serial.rules was not found"));
}

} // namespace
