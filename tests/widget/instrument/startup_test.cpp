// Start-up of the main window against the fake port and the manual clock: settings
// file, port discovery with the failure window, the first queries, polling, Power,
// closing, and an unplugged adapter plugged back in.
#include "tests/support/fakes.h"

#include "app/terminationsignals.h"
#include "instrument/firmwarefiles.h"
#include "link/link.h"
#include "panel/connectionfailuredialog.h"
#include "panel/lamp.h"
#include "presets/telegraphpanel.h"
#include "setup/firmwareupdatedialog.h"
#include "setup/language.h"
#include "tests/support/intelhex.h"
#include "tests/support/wait.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <csignal>
#include <gtest/gtest.h>

namespace {

void writeIni(PanelRig &rig, const QByteArray &content) {
    QFile ini(rig.folder.filePath(QStringLiteral("KVT.INI")));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write(content);
}

QByteArray readIni(PanelRig &rig) {
    QFile ini(rig.folder.filePath(QStringLiteral("KVT.INI")));
    if (!ini.open(QIODevice::ReadOnly))
        return {};
    return ini.readAll();
}

// An avrdude beside the program, an image in `images`, and the firmware window's
// action that writes it.
std::function<void(QDialog &)> provideFirmware(PanelRig &rig, const QTemporaryDir &images) {
    QFile avrdude(rig.folder.filePath(QStringLiteral("avrdude")));
    EXPECT_TRUE(avrdude.open(QIODevice::WriteOnly));
    avrdude.setPermissions(avrdude.permissions() | QFileDevice::ExeOwner);
    QFile image(images.filePath(QStringLiteral("41200207.bin")));
    EXPECT_TRUE(image.open(QIODevice::WriteOnly));
    image.write(intelhex::write(0, "firmware"));
    return [folder = images.path()](QDialog &dialog) {
        static_cast<FirmwareUpdateDialog &>(dialog).showFolder(folder);
        auto *files = control<QListWidget>(dialog, "fileList");
        QTest::mouseClick(files->viewport(), Qt::LeftButton, {},
                          files->visualItemRect(files->item(0)).center());
        QTest::mouseClick(control<QPushButton>(dialog, "writeButton"), Qt::LeftButton);
    };
}

std::vector<Timed> runRecording(PanelRig &rig, qint64 ms) {
    std::vector<Timed> out;
    for (qint64 i = 0; i < ms; ++i) {
        rig.clock.advance(1);
        for (const QString &line : rig.port.takeLines())
            out.push_back({rig.clock.nowMs(), line});
    }
    return out;
}

TEST(StartUp, GeneratorOnTheSavedPortIsFoundAtOnceAndQueriedOnTheStartUpTimetable) {
    PanelRig rig;
    writeIni(rig, "COM Port=5\r\n 0\r\nSP=TOLK\r\n 100\r\n 57600\r\n");
    rig.port.openResults[5] = 0;
    rig.window->start();
    rig.clock.advance(300);
    EXPECT_EQ(rig.port.openAttempts, std::vector<int>{5});
    EXPECT_TRUE(rig.port.takeLines().isEmpty()) << "nothing is sent before the identity line";

    const qint64 identityAt = rig.clock.nowMs();
    rig.reply("KVT20v2.05\r\n");
    EXPECT_EQ(rig.record().connected, 1);
    EXPECT_EQ(ui(*rig.window).modelLabel->text(), QStringLiteral("KVT 20"));
    EXPECT_TRUE(ui(*rig.window).readyLamp->isLit());
    EXPECT_EQ(ui(*rig.window).readyLamp->accessibleName(), QStringLiteral("Ready lamp"));
    EXPECT_EQ(ui(*rig.window).readyLamp->accessibleDescription(), QStringLiteral("lit"));
    EXPECT_EQ(ui(*rig.window).outputLamp->accessibleDescription(), QStringLiteral("unlit"));
    EXPECT_TRUE(ui(*rig.window).cwButton->isEnabled());
    EXPECT_TRUE(ui(*rig.window).configButton->isEnabled());
    EXPECT_FALSE(rig.window->isVisible()) << "the panel shows when the load step has ended";

    const auto sent = runRecording(rig, 3000);
    ASSERT_GE(sent.size(), 6u);
    EXPECT_EQ(linesOf(sent).mid(0, 6), (QStringList{"G", "I", "J", "H", "B", "T"}));
    // 1 s after connecting, then the poll's own 1 s; the identity line was handled
    // when it arrived.
    const qint64 handledAt = identityAt;
    EXPECT_EQ(sent[0].at - handledAt, 2000);
    EXPECT_EQ(sent[1].at - sent[0].at, 100);
    EXPECT_EQ(sent[3].at - sent[2].at, 100);
    EXPECT_EQ(sent[4].at - sent[3].at, 100) << "B follows the poll after 100 ms";
    EXPECT_EQ(sent[5].at - sent[4].at, 100);
    EXPECT_TRUE(rig.window->isVisible());
    EXPECT_EQ(ui(*rig.window).carrierReadout->text(), QStringLiteral("."));
}

TEST(StartUp, RepliesEndTheWaitsSoTheLoadStepMovesOnAsSoonAsTheGeneratorAnswers) {
    PanelRig rig;
    rig.port.openResults[2] = 0;
    rig.window->start();
    rig.clock.advance(0);
    rig.reply("KVT20v2.05\r\n");
    rig.clock.advance(2000);
    EXPECT_EQ(rig.port.takeLines(), QStringList{"G"});
    rig.reply("#F7050000\r\n");
    EXPECT_EQ(rig.port.takeLines(), QStringList{"I"}) << "the F reply ended the 100 ms wait";
    EXPECT_EQ(ui(*rig.window).carrierReadout->text(), QStringLiteral("7.050.000"));
}

TEST(StartUp, WithoutSettingsFileDiscoveryStartsAtPort2) {
    PanelRig rig;
    rig.port.openResults[2] = 0;
    rig.window->start();
    rig.clock.advance(0);
    EXPECT_EQ(rig.port.openAttempts, std::vector<int>{2});
    EXPECT_EQ(rig.record().bootloaderBaud, 57600);
}

TEST(StartUp, SilentPortsCostFiveToSixSecondsMissingOnesNothingThenTheFailureWindowAndRetry) {
    PanelRig rig;
    writeIni(rig, "COM Port=5\r\n 0\r\nSP=TOLK\r\n 100\r\n 57600\r\n");
    rig.port.openResults[5] = 0; // exists, silent
    rig.port.openResults[3] = 0; // the generator, but found only after Retry
    rig.port.openResults[7] = SerialPort::PortBusy;
    rig.port.openResults[9] = SerialPort::PermissionDenied;
    QStringList problemsShown;
    rig.dialogs.modalActions.push_back([&](QDialog &dialog) {
        problemsShown = control<QLabel>(dialog, "portProblemsLabel")->text().split(u'\n');
        control<QPushButton>(dialog, "retryButton")->click();
    });
    rig.window->start();
    rig.clock.advance(0);
    EXPECT_EQ(rig.port.openAttempts, std::vector<int>{5});
    rig.clock.advance(4999);
    EXPECT_EQ(rig.port.openAttempts.size(), 1u) << "still waiting on port 5 after 5 s";
    rig.clock.advance(1001);
    EXPECT_EQ(rig.port.closeCount, 1);
    ASSERT_EQ(rig.dialogs.asked.size(), 1u) << "the failure window after port 64";
    EXPECT_EQ(rig.dialogs.asked[0].title, QStringLiteral("KVT Connection"));
    EXPECT_EQ(rig.port.openAttempts.front(), 5);
    // 5..64 (64 is missing, so 65 is never tried), then Retry: 2 (missing) and 3.
    std::vector<int> expected;
    for (int p = 5; p <= 64; ++p)
        expected.push_back(p);
    expected.push_back(2);
    expected.push_back(3);
    EXPECT_EQ(rig.port.openAttempts, expected);
    EXPECT_EQ(rig.record().portNumber, 3);
    EXPECT_TRUE(problemsShown.filter(QStringLiteral("COM5: no answer")).size() == 1);
    EXPECT_TRUE(problemsShown.filter(QStringLiteral("COM7: in use")).size() == 1);
    EXPECT_TRUE(problemsShown.filter(QStringLiteral("COM9: permission denied")).size() == 1);
    EXPECT_EQ(problemsShown.value(0), QStringLiteral("Ports tried: COM5 to COM64, upward from the "
                                                     "port saved in KVT.INI."));
    EXPECT_TRUE(problemsShown.contains(QStringLiteral("Ports below COM5 were not tried.")));
    EXPECT_TRUE(problemsShown.contains(QStringLiteral("Retry starts again from COM2.")));
    rig.reply("KVT10v1.0\r\n");
    EXPECT_EQ(rig.record().connected, 1);
    EXPECT_FALSE(ui(*rig.window).cwButton->isEnabled()) << "CW is for the KVT 20 only";
}

// The window's own texts stay as they are in both languages; below them the list says
// which ports were tried and where Retry starts, and only the Linux build tells how to
// see whether the adapter is there at all. A search that began above COM2 says that the
// ports below were not tried, never that no adapter is visible.
TEST(StartUp, TheFailureWindowKeepsItsTextsAndOnlyLinuxAddsItsAdviceBelowThePortList) {
    using Platform = ConnectionFailureDialog::Platform;
    struct Case {
        Platform platform;
        int firstPort; // from the saved port; 0: the search is not told
        QStringList problems;
        bool anyPortFound;
        QStringList shown; // the list's lines; a line ending in "..." is a beginning
    };
    const QString busy = QStringLiteral("COM2: in use by another program");
    const QString advice = QStringLiteral("Check the generator's USB cable. \"ls -l "
                                          "/dev/serial/by-id\" lists...");
    const QString tried = QStringLiteral("Ports tried: COM2 to COM64.");
    const QString retry = QStringLiteral("Retry starts again from COM2.");
    const Case cases[] = {
        {Platform::Linux,
         2,
         {busy},
         true,
         {tried, "Ports found but not usable:", busy, retry, "", advice}},
        {Platform::Linux,
         2,
         {},
         false,
         {tried, "No serial adapter is visible to the system.", retry, "", advice}},
        {Platform::Linux,
         5,
         {},
         false,
         {"Ports tried: COM5 to COM64, upward from the port saved in KVT.INI.",
          "Ports below COM5 were not tried.", "None of the ports tried exists.", retry, "",
          advice}},
        {Platform::Linux, 0, {}, true, {advice}},
        {Platform::Windows, 2, {busy}, true, {tried, "Ports found but not usable:", busy, retry}},
        {Platform::Windows, 0, {}, false, {}},
    };
    for (const Case &c : cases) {
        ConnectionFailureDialog window(nullptr, c.platform);
        if (c.firstPort)
            window.setSearchedPorts({c.firstPort, 64, true, 2});
        window.setPortProblems(c.problems, c.anyPortFound);
        const QString at = QStringLiteral("%1 %2").arg(
            c.platform == Platform::Linux ? "Linux" : "Windows", c.problems.join(u','));
        EXPECT_EQ(control<QLabel>(window, "headingLabel")->text(),
                  QStringLiteral("Communication error !"));
        EXPECT_EQ(control<QLabel>(window, "adviceLabel")->text(),
                  QStringLiteral("Here is not any COM port with KVT unit connected. Please check "
                                 "right connection, or check Windows Control Panels console "
                                 "(hardware management)..."));
        const QLabel *list = control<QLabel>(window, "portProblemsLabel");
        EXPECT_EQ(list->isVisibleTo(&window), !c.shown.isEmpty()) << at.toStdString();
        const QStringList lines =
            list->text().isEmpty() ? QStringList() : list->text().split(u'\n');
        ASSERT_EQ(lines.size(), c.shown.size()) << at.toStdString() << list->text().toStdString();
        for (qsizetype i = 0; i < lines.size(); ++i) {
            if (c.shown[i].endsWith(QStringLiteral("...")))
                EXPECT_TRUE(lines[i].startsWith(c.shown[i].chopped(3))) << lines[i].toStdString();
            else
                EXPECT_EQ(lines[i], c.shown[i]) << at.toStdString();
        }
    }

    // In Czech: the window's Czech texts, and the advice in Czech too.
    ConnectionFailureDialog window(nullptr, Platform::Linux);
    window.setPortProblems({}, false);
    Language czech;
    czech.setCzechChosen(true);
    EXPECT_EQ(control<QLabel>(window, "headingLabel")->text(),
              QStringLiteral("Chyba komunikace !"));
    EXPECT_EQ(control<QLabel>(window, "adviceLabel")->text(),
              QString::fromUtf8("Zkontrolujte připojení generátoru, případně zkontrolujte "
                                "nastavení počítače..."));
    EXPECT_TRUE(control<QLabel>(window, "portProblemsLabel")
                    ->text()
                    .startsWith(QString::fromUtf8("Systém nevidí žádný sériový adaptér.\n\n"
                                                  "Zkontrolujte kabel USB generátoru.")));
}

TEST(StartUp, ExitInTheFailureWindowEndsWithoutTouchingTheSettingsFile) {
    PanelRig rig;
    const QByteArray ini = "COM Port=60\r\n 77\r\nSP=TOLK\r\n 100\r\n 57600\r\n";
    writeIni(rig, ini);
    rig.dialogs.modalActions.push_back(
        [](QDialog &dialog) { control<QPushButton>(dialog, "exitButton")->click(); });
    rig.window->start();
    rig.clock.advance(10);
    EXPECT_EQ(rig.quitCount, 1);
    EXPECT_EQ(readIni(rig), ini);
    rig.clock.advance(10000);
    EXPECT_EQ(rig.port.openAttempts, (std::vector<int>{60, 61, 62, 63, 64}))
        << "nothing is tried after Exit";
}

// A generator plugged in while the failure window is open is found by Retry, and one
// recovered from that window by the discovery after it: the seconds the window was
// open count for no port, so the first port opened afterwards gets its whole wait.
TEST(StartUp, AfterTheFailureWindowTheFirstPortOpenedGetsItsFullWait) {
    enum class Answer { RetryAfter7s, Recover };
    const struct {
        Answer answer;
        int foundOn; // the port that answers after the window
    } cases[] = {{Answer::RetryAfter7s, 2}, {Answer::Recover, 63}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.foundOn);
        PanelRig rig;
        writeIni(rig, "COM Port=63\r\n 0\r\nSP=TOLK\r\n 100\r\n 57600\r\n");
        rig.port.openResults[63] = 0; // silent: only its bootloader would answer
        QTemporaryDir images;
        const auto writeImage = provideFirmware(rig, images);
        rig.dialogs.modalActions.push_back([&](QDialog &dialog) {
            rig.port.openResults[2] = 0; // the generator is plugged in meanwhile
            if (c.answer == Answer::RetryAfter7s) {
                rig.clock.advance(7000);
                control<QPushButton>(dialog, "retryButton")->click();
            } else {
                control<QPushButton>(dialog, "recoverButton")->click();
            }
        });
        // The recovery: COM63 chosen, the image confirmed and written (about 50 s).
        rig.dialogs.itemAnswers = {QStringLiteral("COM63")};
        rig.dialogs.yesNoAnswers = {true, true};
        rig.processes.outcomes = {{0, 0, {}}, {9000, 0, {}}};
        rig.dialogs.modalActions.push_back([&](QDialog &dialog) {
            writeImage(dialog);
            rig.advance(60000, 100);
        });

        rig.window->start();
        rig.advance(6100, 10); // COM63 is given up; COM64 does not exist: the window
        ASSERT_EQ(rig.port.openAttempts.back(), c.foundOn);
        ASSERT_TRUE(rig.port.isOpen());
        rig.advance(4900, 10);
        EXPECT_TRUE(rig.port.isOpen()) << "still waiting for the identity line";
        rig.reply("KVT20v2.05\r\n");
        EXPECT_EQ(rig.record().connected, 1);
        EXPECT_EQ(rig.record().portNumber, c.foundOn);
    }
}

TEST(StartUp, SavedPortNumbersOutOfRangeNeitherWrapNorWalkUpThroughTheNegatives) {
    const struct {
        const char *ini;
        int existing; // a port that opens (silent), 0 for none
        qint64 ms;    // how long discovery runs
        std::vector<int> attempts;
        bool failureWindow;
    } cases[] = {
        {"COM Port=32767", 0, 10, {32767}, true},       // the next number would wrap to -32768
        {"COM Port=32767", 32767, 6000, {32767}, true}, // silent there: after its wait
        {"COM Port=-5", 1, 10, {1}, false},
        {"COM Port=0", 0, 10, {1, 2}, false}, // 2 is silent too
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.ini);
        PanelRig rig;
        writeIni(rig, QByteArray(c.ini) + "\r\n 0\r\nSP=TOLK\r\n 100\r\n 57600\r\n");
        if (c.existing)
            rig.port.openResults[c.existing] = 0;
        rig.port.openResults[2] = 0;
        rig.dialogs.modalActions.push_back(
            [](QDialog &dialog) { control<QPushButton>(dialog, "exitButton")->click(); });
        rig.window->start();
        rig.clock.advance(c.ms);
        ASSERT_LE(rig.port.openAttempts.size(), 5u)
            << "walked from " << rig.port.openAttempts.front() << " to "
            << rig.port.openAttempts.back();
        EXPECT_EQ(rig.port.openAttempts, c.attempts);
        EXPECT_EQ(rig.dialogs.asked.size(), c.failureWindow ? 1u : 0u);
    }
}

TEST(Polling, EveryFourthSecondPolls) {
    PanelRig rig;
    rig.connectOn(2);
    rig.clock.advance(5000);
    rig.port.takeLines();
    const auto sent = runRecording(rig, 8000);
    QStringList polls = linesOf(sent);
    EXPECT_EQ(polls.count(QStringLiteral("G")), 2);
    EXPECT_EQ(polls.count(QStringLiteral("H")), 2);
    std::vector<qint64> gAt;
    for (const Timed &t : sent)
        if (t.line == QStringLiteral("G"))
            gAt.push_back(t.at);
    ASSERT_EQ(gAt.size(), 2u);
    EXPECT_EQ(gAt[1] - gAt[0], 4000);
}

TEST(Shutdown, PowerSavesTheSettingsWhenConnectedAndEnds) {
    PanelRig rig;
    rig.connectOn(7);
    rig.reply("#B4321\r\n");
    ui(*rig.window).powerButton->click();
    EXPECT_EQ(rig.quitCount, 1);
    EXPECT_EQ(readIni(rig), QByteArray("COM Port=7\r\n 4321\r\nSP=TOLK\r\n 100\r\n 57600\r\n"));
    EXPECT_FALSE(rig.port.isOpen());
}

TEST(Shutdown, PowerSaysWhyTheSettingsCouldNotBeSavedThenEnds) {
    PanelRig rig;
    rig.connectOn(7);
    // A folder where the file should be: the write fails for root as for anyone.
    QDir folder(rig.folder.path());
    folder.remove(QStringLiteral("KVT.INI"));
    ASSERT_TRUE(folder.mkdir(QStringLiteral("KVT.INI")));
    ui(*rig.window).powerButton->click();
    ASSERT_EQ(rig.dialogs.asked.size(), 1u);
    EXPECT_EQ(rig.dialogs.asked[0].kind, QStringLiteral("message"));
    EXPECT_TRUE(rig.dialogs.asked[0].text.contains(
        QDir::toNativeSeparators(QDir(rig.folder.path()).filePath(QStringLiteral("KVT.INI")))))
        << rig.dialogs.asked[0].text.toStdString();
    EXPECT_GT(rig.dialogs.asked[0].text.size(), 40) << "the reason follows the name";
    EXPECT_EQ(rig.quitCount, 1);
    EXPECT_TRUE(QFileInfo(QDir(rig.folder.path()).filePath(QStringLiteral("KVT.INI"))).isDir());
}

TEST(Shutdown, PowerWhileNotConnectedAndClosingTheWindowLeaveTheFileAlone) {
    {
        PanelRig rig;
        const QByteArray ini = "COM Port=3\r\n 5\r\nSP=TOLK\r\n 90\r\n 19200\r\n";
        writeIni(rig, ini);
        rig.port.openResults[3] = 0;
        rig.window->start();
        rig.clock.advance(1000);
        ui(*rig.window).powerButton->click();
        EXPECT_EQ(rig.quitCount, 1);
        EXPECT_EQ(readIni(rig), ini);
    }
    {
        PanelRig rig;
        rig.connectOn(3);
        const QByteArray before = readIni(rig);
        rig.reply("#B999\r\n");
        rig.window->close();
        EXPECT_EQ(rig.quitCount, 1);
        EXPECT_FALSE(rig.port.isOpen());
        EXPECT_EQ(readIni(rig), before);
    }
}

// SIGTERM, SIGINT and SIGHUP end the program as closing the window does: the port
// closed, the settings file untouched. A firmware update running is let finish first.
TEST(Shutdown, ATerminationSignalEndsAsClosingTheWindowDoesAfterAnUpdateRunning) {
    for (const int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(signalNumber);
        PanelRig rig;
        rig.connectOn(3);
        const QByteArray before = readIni(rig);
        TerminationSignals requests;
        ASSERT_TRUE(requests.catching());
        QObject::connect(&requests, &TerminationSignals::requested, rig.window.get(),
                         [&] { rig.window->endOnRequest(); });
        rig.reply("#B999\r\n");
        ASSERT_EQ(::raise(signalNumber), 0);
        runUntil([&] { return rig.quitCount > 0; }, 5000);
        EXPECT_EQ(rig.quitCount, 1);
        EXPECT_FALSE(rig.port.isOpen());
        EXPECT_EQ(readIni(rig), before);
    }

    // During an update (started from the setup window): nothing happens until its end.
    PanelRig rig;
    rig.connectOn(2);
    TerminationSignals requests;
    ASSERT_TRUE(requests.catching());
    QObject::connect(&requests, &TerminationSignals::requested, rig.window.get(),
                     [&] { rig.window->endOnRequest(); });
    QTemporaryDir images;
    const auto writeImage = provideFirmware(rig, images);
    const QString readBack = rig.folder.filePath(
        FirmwareFiles::readBackName(FirmwareFiles::backupName("KVT 20", "2.05")));
    rig.processes.outcomes = {{0, 0, {}}, {1000, 0, readBack}, {9000, 0, {}}};
    rig.dialogs.yesNoAnswers = {true};
    int quitsDuringUpdate = -1;
    rig.dialogs.modalActions.push_back(
        [&](QDialog &setup) { control<QPushButton>(setup, "upgradeButton")->click(); });
    rig.dialogs.modalActions.push_back([&](QDialog &dialog) {
        writeImage(dialog);
        rig.advance(5000, 100); // the checks, then the read-back
        ASSERT_TRUE(static_cast<FirmwareUpdateDialog &>(dialog).updateRunning());
        ::raise(SIGTERM);
        runUntil([] { return false; }, 50);
        quitsDuringUpdate = rig.quitCount;
        rig.advance(60000, 100);
    });
    ui(*rig.window).configButton->click();
    rig.advance(3000, 10);
    EXPECT_EQ(quitsDuringUpdate, 0);
    EXPECT_EQ(rig.quitCount, 1) << "once the update has ended";
    EXPECT_EQ(rig.dialogs.asked.back().kind, "yesno") << "no result shown to nobody";
    ASSERT_EQ(rig.processes.started.size(), 3u);
    EXPECT_FALSE(rig.processes.started[2].killed) << "the write ran to its end";
    EXPECT_FALSE(rig.port.isOpen());
}

// A request to end while the update asks "Write" answers No and ends the program; one
// while its result is shown (the update has ended) closes the message and ends it.
TEST(Shutdown, ARequestToEndAnswersTheUpdatesQuestionNoAndClosesItsResult) {
    for (const bool atResult : {false, true}) {
        SCOPED_TRACE(atResult ? "at the result" : "at the Write question");
        PanelRig rig;
        rig.connectOn(2);
        QTemporaryDir images;
        const auto writeImage = provideFirmware(rig, images);
        const QString readBack = rig.folder.filePath(
            FirmwareFiles::readBackName(FirmwareFiles::backupName("KVT 20", "2.05")));
        rig.processes.outcomes = {{0, 0, {}}, {1000, 0, readBack}, {9000, 0, {}}};
        rig.dialogs.yesNoAnswers = {true};
        const auto endRequested = [&] { rig.window->endOnRequest(); };
        rig.dialogs.whileAsking = atResult ? nullptr : std::function<void()>(endRequested);
        rig.dialogs.modalActions.push_back(
            [&](QDialog &setup) { control<QPushButton>(setup, "upgradeButton")->click(); });
        rig.dialogs.modalActions.push_back([&](QDialog &dialog) {
            writeImage(dialog);
            rig.advance(5000, 100);
            if (atResult)
                rig.dialogs.whileAsking = endRequested; // the result (no generator after it)
            rig.advance(60000, 100);
        });
        ui(*rig.window).configButton->click();
        rig.advance(3000, 10);
        EXPECT_EQ(rig.quitCount, 1);
        EXPECT_EQ(rig.dialogs.closedOpen, 1);
        EXPECT_EQ(rig.processes.started.size(), atResult ? 3u : 0u);
        EXPECT_EQ(rig.dialogs.asked.back().kind, atResult ? "message" : "yesno");
    }
}

TEST(Shutdown, DestroyingTheWindowWhileProceduresWaitIsSafe) {
    // During discovery, during the load step's waits and during a poll.
    for (qint64 afterIdentity : {-1, 500, 1500, 2050, 4000 + 2300 + 1050}) {
        PanelRig rig;
        rig.port.openResults[2] = 0;
        rig.window->start();
        rig.clock.advance(100);
        if (afterIdentity >= 0) {
            rig.reply("KVT20v2.05\r\n");
            rig.clock.advance(afterIdentity);
        }
        rig.endProgram();
        rig.clock.advance(10000);
        EXPECT_EQ(rig.clock.pendingCount(), 0) << "no timer outlives the window";
    }
    // While a lost port is tried again: between two tries, and waiting for the identity.
    for (qint64 afterLoss : {700, 1600}) {
        PanelRig rig;
        rig.connectOn(2);
        rig.port.unplug();
        rig.clock.advance(afterLoss);
        rig.endProgram();
        rig.clock.advance(10000);
        EXPECT_EQ(rig.clock.pendingCount(), 0) << afterLoss;
    }
}

TEST(Reconnection, APulledCableDarkensThePanelAndTheSamePortIsTriedUntilTheGeneratorAnswers) {
    PanelRig rig;
    rig.port.openResults[3] = 0; // another port that would open: it is never tried
    rig.connectOn(2);
    const PanelUi panel = ui(*rig.window);
    // A sweep runs, Morse is being keyed and the Info steps wait for their replies.
    rig.reply("#W7100000\r\n");
    panel.cwButton->click();
    panel.telegraph().sendButton->click();
    panel.infoButton->click();
    rig.clock.advance(50);
    rig.port.takeLines();

    rig.port.openResults[2] = SerialPort::InvalidPort; // the adapter has gone from the system
    rig.port.unplug();
    rig.advance(400, 10);
    EXPECT_FALSE(panel.readyLamp->isLit());
    EXPECT_FALSE(panel.sweepLamp->isLit());
    EXPECT_EQ(panel.sweepButton->text(), QStringLiteral("Sweep"));
    EXPECT_FALSE(panel.telegraphPanel->isVisible()) << "the keying ends with the line";
    EXPECT_TRUE(panel.carrierReadout->isVisibleTo(rig.window.get()));
    EXPECT_FALSE(rig.window->findChild<QWidget *>(QStringLiteral("infoPanel"))->isVisible())
        << "the Info steps running at the loss do not show the panel afterwards";
    for (QWidget *needsGenerator : std::initializer_list<QWidget *>{
             panel.displayWindow, panel.directEntryFrame, panel.upButton, panel.downButton,
             panel.amModeButton, panel.stopButton, panel.sweepButton, panel.cwButton,
             panel.saveButton, panel.recallButton, panel.configButton, panel.infoButton})
        EXPECT_FALSE(needsGenerator->isEnabled()) << needsGenerator->objectName().toStdString();
    EXPECT_TRUE(panel.powerButton->isEnabled());
    EXPECT_TRUE(panel.stepButton->isEnabled());
    EXPECT_TRUE(rig.dialogs.asked.empty()) << "nothing is reported";

    const std::size_t attemptsBefore = rig.port.openAttempts.size();
    rig.advance(15000, 10);
    EXPECT_TRUE(rig.port.takeWritten().isEmpty()) << "no poll while the line is gone";
    const std::vector<int> retried(rig.port.openAttempts.begin() + attemptsBefore,
                                   rig.port.openAttempts.end());
    EXPECT_EQ(retried, std::vector<int>(10, 2)) << "the same port every 1.5 s, no other";

    // Back in: a port that opens but stays silent is given 5 to 6 s, then let go.
    rig.port.openResults[2] = 0;
    rig.advance(1500, 10);
    ASSERT_TRUE(rig.port.isOpen());
    const int closesBefore = rig.port.closeCount;
    rig.advance(6100, 10);
    EXPECT_EQ(rig.port.closeCount, closesBefore + 1);
    rig.advance(1500, 10);
    ASSERT_TRUE(rig.port.isOpen());
    EXPECT_TRUE(rig.port.takeWritten().isEmpty()) << "nothing is sent before the identity";

    const qint64 identityAt = rig.clock.nowMs();
    rig.reply("KVT20v2.05\r\n");
    EXPECT_TRUE(panel.readyLamp->isLit());
    for (QWidget *back :
         std::initializer_list<QWidget *>{panel.displayWindow, panel.upButton, panel.amModeButton,
                                          panel.sweepButton, panel.cwButton, panel.saveButton,
                                          panel.recallButton, panel.configButton, panel.infoButton})
        EXPECT_TRUE(back->isEnabled()) << back->objectName().toStdString();
    const std::vector<Timed> sent = runRecording(rig, 8000);
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent.front(), (Timed{identityAt + 2000, QStringLiteral("G")}))
        << "the first poll 2 s after the identity line, as at start-up";
    EXPECT_EQ(linesOf(sent), (QStringList{"G", "I", "J", "H", "B", "T", "G", "I", "J", "H"}))
        << "B and T follow, then the poll runs again";
    EXPECT_EQ(std::count(rig.port.openAttempts.begin(), rig.port.openAttempts.end(), 3), 0);
}

TEST(Reconnection, AKvt10ThatAnswersInsteadKeepsCwAndConfigDisabledAndPowerStillSaves) {
    PanelRig rig;
    rig.connectOn(2);
    rig.port.unplug();
    rig.advance(1600, 10);
    ASSERT_TRUE(rig.port.isOpen());
    rig.reply("KVT10v1.00\r\n");
    EXPECT_EQ(ui(*rig.window).modelLabel->text(), QStringLiteral("KVT 10"));
    EXPECT_FALSE(ui(*rig.window).cwButton->isEnabled());
    EXPECT_FALSE(ui(*rig.window).configButton->isEnabled());

    rig.port.unplug(); // lost again: Power keeps the settings of the generator found
    ui(*rig.window).powerButton->click();
    EXPECT_EQ(readIni(rig).left(12), QByteArray("COM Port=2\r\n"));
    EXPECT_EQ(rig.quitCount, 1);
}

TEST(StartUp, SettingsFileSpeedReachesTheSliderAndABadFileGivesTheDefaults) {
    {
        PanelRig rig;
        writeIni(rig, "COM Port=4\r\n 12\r\nSP=TOLK\r\n 150\r\n 19200\r\n");
        rig.window->start();
        rig.clock.advance(0);
        EXPECT_EQ(rig.record().telegraphSpeed, 150);
        EXPECT_EQ(rig.record().bootloaderBaud, 19200);
        EXPECT_EQ(rig.port.openAttempts.front(), 4);
    }
    {
        PanelRig rig;
        writeIni(rig, "COM Port=4\r\n 12\r\n");
        rig.window->start();
        rig.clock.advance(0);
        EXPECT_EQ(rig.port.openAttempts.front(), 2);
        EXPECT_EQ(rig.record().highestDeviceId, 12);
        EXPECT_EQ(rig.record().bootloaderBaud, 57600);
    }
}

} // namespace
