// The installer's window, offscreen, with the in-memory Windows file system.
#include "install/installerwindow.h"
#include "install/localsystem.h"
#include "tests/support/installfakes.h"

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using InstallerTest::FakeWindowsFiles;
using InstallerTest::RecordingHost;

namespace {

class InstallerWindowTest : public testing::Test {
protected:
    FakeWindowsFiles files;
    RecordingHost host;
};

TEST_F(InstallerWindowTest, WindowAndButtons) {
    Installer::InstallerWindow window(Installer::windowsLayout(), files, host);
    EXPECT_EQ(window.objectName(), QStringLiteral("InstallerWindow"));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("KVT Installer"));
    auto *install = window.findChild<QPushButton *>(QStringLiteral("installButton"));
    auto *exit = window.findChild<QPushButton *>(QStringLiteral("exitButton"));
    ASSERT_NE(install, nullptr);
    ASSERT_NE(exit, nullptr);
    EXPECT_EQ(install->text(), QStringLiteral("Install"));
    EXPECT_EQ(exit->text(), QStringLiteral("Exit"));
}

TEST_F(InstallerWindowTest, InstallDoesNothingAndExitEnds) {
    files.addFile(QStringLiteral("mscomm32.ocx"), "control");
    Installer::InstallerWindow window(Installer::windowsLayout(), files, host);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    QTest::mouseClick(window.findChild<QPushButton *>(QStringLiteral("installButton")),
                      Qt::LeftButton);
    EXPECT_TRUE(files.written().isEmpty());
    EXPECT_TRUE(host.starts.isEmpty());
    EXPECT_TRUE(host.messages.isEmpty());
    EXPECT_EQ(host.ends, 0);
    EXPECT_TRUE(window.isVisible());

    QTest::mouseClick(window.findChild<QPushButton *>(QStringLiteral("exitButton")),
                      Qt::LeftButton);
    EXPECT_EQ(host.ends, 1);
    EXPECT_TRUE(host.starts.isEmpty()) << "Exit ends without installing";
}

TEST_F(InstallerWindowTest, LoadInstallsThenEnds) {
    files.addFile(QStringLiteral("c:\\WINDOWS\\SYSWOW64\\regsvr32.exe"), "tool");
    files.addFile(QStringLiteral("mscomm32.ocx"), "control");
    Installer::InstallerWindow window(Installer::windowsLayout(), files, host);

    EXPECT_EQ(window.load(), 0);

    EXPECT_EQ(files.content(QStringLiteral("c:\\WINDOWS\\SYSWOW64\\mscomm32.ocx")), "control");
    ASSERT_EQ(host.starts.size(), 1);
    EXPECT_EQ(host.ends, 1);
    EXPECT_FALSE(window.isVisible()) << "in normal use the window is never seen";
}

TEST_F(InstallerWindowTest, LoadReportsAToolThatCannotStartThenEnds) {
    host.canStart = false;
    Installer::InstallerWindow window(Installer::windowsLayout(), files, host);

    EXPECT_EQ(window.load(), 1);

    ASSERT_EQ(host.messages.size(), 1);
    EXPECT_TRUE(
        host.messages[0].text.contains(QStringLiteral("c:\\WINDOWS\\SYSTEM32\\regsvr32.exe")));
    EXPECT_EQ(host.ends, 1);
}

TEST_F(InstallerWindowTest, OnLinuxTheExitStatusSaysWhetherTheRuleWasPlaced) {
    QTemporaryDir root;
    Installer::LocalFiles local(root.path(), root.path());
    const Installer::InstallerLayout layout = Installer::linuxLayout(root.path());
    {
        Installer::InstallerWindow window(layout, local, host);
        EXPECT_EQ(window.load(), 1) << "no rules folder";
        EXPECT_EQ(host.err.size(), 1);
        EXPECT_TRUE(host.out.isEmpty());
        EXPECT_TRUE(host.starts.isEmpty());
        EXPECT_EQ(host.ends, 1);
    }
    ASSERT_TRUE(QDir().mkpath(root.filePath(QStringLiteral("etc/udev/rules.d"))));
    QFile rule(root.filePath(Installer::RuleFileName));
    ASSERT_TRUE(rule.open(QIODevice::WriteOnly));
    rule.write("rule");
    rule.close();
    Installer::InstallerWindow window(layout, local, host);
    EXPECT_EQ(window.load(), 0);
    EXPECT_EQ(host.out.size(), 1);
    EXPECT_EQ(host.starts.size(), 1);
    EXPECT_EQ(host.ends, 2);
}

} // namespace
