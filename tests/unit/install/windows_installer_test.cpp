// The installer's algorithm with the Windows layout, on a Windows-like file system in
// memory.
#include "tests/support/installfakes.h"

#include <gtest/gtest.h>

using Installer::FileResult;
using InstallerTest::FakeWindowsFiles;
using InstallerTest::RecordingHost;

namespace {

const QString kWow = QStringLiteral("c:\\WINDOWS\\SYSWOW64\\");
const QString kSys32 = QStringLiteral("c:\\WINDOWS\\SYSTEM32\\");
const QByteArray kRegsvr = "regsvr32 image";
const QByteArray kControl = "control image";

enum class Machine {
    Bits64,         // SYSWOW64 holds regsvr32.exe
    Bits32,         // no SYSWOW64 at all
    WowWithoutTool, // SYSWOW64 exists but regsvr32.exe is not in it
    NullDenied,     // the probe's copy cannot be written in the current folder
};

struct WindowsCase {
    const char *name;
    Machine machine;
    bool componentPresent;
    bool targetDenied; // the control in the target folder is in use
    QString expectedTarget;
    bool nullLeft;
    bool componentPlaced;
};

void PrintTo(const WindowsCase &c, std::ostream *os) {
    *os << c.name;
}

FakeWindowsFiles machine(const WindowsCase &c) {
    FakeWindowsFiles files;
    files.addFile(kSys32 + QStringLiteral("regsvr32.exe"), kRegsvr);
    if (c.machine == Machine::Bits64 || c.machine == Machine::NullDenied)
        files.addFile(kWow + QStringLiteral("regsvr32.exe"), kRegsvr);
    if (c.machine == Machine::WowWithoutTool)
        files.addFolder(kWow);
    if (c.machine == Machine::NullDenied)
        files.deny(QStringLiteral("NULL"));
    if (c.componentPresent)
        files.addFile(QStringLiteral("mscomm32.ocx"), kControl);
    if (c.targetDenied)
        files.deny(c.expectedTarget + QStringLiteral("mscomm32.ocx"));
    return files;
}

class WindowsInstall : public testing::TestWithParam<WindowsCase> {};

TEST_P(WindowsInstall, PlacesAndRegistersTheControl) {
    const WindowsCase c = GetParam();
    FakeWindowsFiles files = machine(c);
    RecordingHost host;

    const auto outcome = Installer::runInstaller(Installer::windowsLayout(), files, host);

    EXPECT_EQ(outcome.target, c.expectedTarget);
    EXPECT_EQ(files.has(QStringLiteral("NULL")), c.nullLeft);
    if (c.nullLeft) {
        EXPECT_EQ(files.content(QStringLiteral("NULL")), kRegsvr);
    }
    EXPECT_EQ(files.content(c.expectedTarget + QStringLiteral("mscomm32.ocx")),
              c.componentPlaced ? kControl : QByteArray());

    // Only the probe's copy and the placed control are ever written.
    QStringList expectedWrites;
    if (c.nullLeft)
        expectedWrites << QStringLiteral("c:\\kvt\\null");
    if (c.componentPlaced)
        expectedWrites << (c.expectedTarget + QStringLiteral("mscomm32.ocx")).toLower();
    EXPECT_EQ(files.written(), expectedWrites);

    // The registration tool is started once, from the target folder, whatever the
    // copies did, and nothing is shown.
    ASSERT_EQ(host.starts.size(), 1);
    EXPECT_EQ(host.starts[0].program, c.expectedTarget + QStringLiteral("regsvr32.exe"));
    EXPECT_EQ(host.starts[0].arguments, QStringList{QStringLiteral("mscomm32.ocx")});
    EXPECT_TRUE(outcome.started);
    EXPECT_TRUE(host.messages.isEmpty());
    EXPECT_EQ(host.ends, 0) << "ending is the window's load step's business";
}

INSTANTIATE_TEST_SUITE_P(
    Machines, WindowsInstall,
    testing::Values(WindowsCase{"bits64", Machine::Bits64, true, false, kWow, true, true},
                    WindowsCase{"bits32_uses_system32", Machine::Bits32, true, false, kSys32, false,
                                true},
                    WindowsCase{"wow_folder_without_tool_keeps_wow", Machine::WowWithoutTool, true,
                                false, kWow, false, true},
                    WindowsCase{"probe_copy_denied_keeps_wow", Machine::NullDenied, true, false,
                                kWow, false, true},
                    WindowsCase{"component_missing_still_registers", Machine::Bits64, false, false,
                                kWow, true, false},
                    WindowsCase{"component_missing_bits32", Machine::Bits32, false, false, kSys32,
                                false, false},
                    WindowsCase{"control_in_use_still_registers", Machine::Bits64, true, true, kWow,
                                true, false}),
    [](const testing::TestParamInfo<WindowsCase> &info) { return std::string(info.param.name); });

TEST(WindowsInstall, OverwritesAnOlderControlAndAnOlderProbeCopy) {
    FakeWindowsFiles files;
    files.addFile(kWow + QStringLiteral("regsvr32.exe"), kRegsvr);
    files.addFile(kWow + QStringLiteral("MSCOMM32.OCX"), "old control");
    files.addFile(QStringLiteral("NULL"), "left from an earlier run");
    files.addFile(QStringLiteral("mscomm32.ocx"), kControl);
    RecordingHost host;

    Installer::runInstaller(Installer::windowsLayout(), files, host);

    EXPECT_EQ(files.content(kWow + QStringLiteral("mscomm32.ocx")), kControl);
    EXPECT_EQ(files.content(QStringLiteral("NULL")), kRegsvr);
}

TEST(WindowsInstall, RegistrationToolThatCannotStartIsReported) {
    // A 32-bit machine whose registration tool is gone.
    FakeWindowsFiles files;
    files.addFolder(kSys32);
    files.addFile(QStringLiteral("mscomm32.ocx"), kControl);
    RecordingHost host;
    host.canStart = false;

    const auto outcome = Installer::runInstaller(Installer::windowsLayout(), files, host);

    EXPECT_FALSE(outcome.started);
    ASSERT_EQ(host.messages.size(), 1);
    EXPECT_EQ(host.messages[0].title, QStringLiteral("install"));
    EXPECT_TRUE(host.messages[0].text.startsWith(QStringLiteral("Run-time error '53':")));
    EXPECT_TRUE(host.messages[0].text.contains(kSys32 + QStringLiteral("regsvr32.exe")))
        << host.messages[0].text.toStdString();
    // The control was still placed before the attempt.
    EXPECT_EQ(files.content(kSys32 + QStringLiteral("mscomm32.ocx")), kControl);
}

} // namespace
