// The firmware-update window: the file choice and its checks, the confirmation and the
// model test, the checks before anything changes, the 52 s timetable with the two
// avrdude runs played on the manual clock, how their outcomes decide the result and
// what becomes of the backups, writing a backup back, and the re-opened port.
#include "tests/support/fakes.h"

#include "link/link.h"
#include "link/polling.h"
#include "setup/firmwareupdate.h"
#include "setup/firmwareupdatedialog.h"
#include "tests/support/intelhex.h"
#include "tests/support/panelui.h"
#include "widgets/panelcontext.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class FakePolling final : public Polling {
public:
    void setPollingEnabled(bool on) override {
        m_on = on;
        changes.push_back(on);
    }
    bool pollingEnabled() const override { return m_on; }
    QCoro::Task<> readParams() override { co_return; }
    std::vector<bool> changes;

private:
    bool m_on = true;
};

const QString Success = QStringLiteral("New firmware successfully uploaded...");
const QString Failure = QStringLiteral("Error with upload !");
using Outcome = FakeProcessStarter::Outcome;
// avrdude's quick run of the checks: it ends at once.
const Outcome Probe{0, 0, {}};

QByteArray fileContent(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(none)");
}
void putFile(const QString &path, const QByteArray &content) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    file.write(content);
}

class FirmwareWindow : public testing::Test {
protected:
    void SetUp() override {
        rig.connectOn(2, "KVT20v1.05\r\n");
        ASSERT_EQ(rig.window->state().modelName, QStringLiteral("KVT 20"));
        ASSERT_EQ(rig.window->state().bootloaderBaud, 57600);
        // An avrdude beside the program is the one started.
        QFile avrdude(rig.folder.filePath(QStringLiteral("avrdude")));
        ASSERT_TRUE(avrdude.open(QIODevice::WriteOnly));
        avrdude.setPermissions(avrdude.permissions() | QFileDevice::ExeOwner);
        for (const char *name : {"41200207.bin", "41100300.bin", "readme.bin", "41200105.txt"})
            putFile(images.filePath(QLatin1String(name)), intelhex::write(0, "firmware"));

        services.port = &rig.port;
        services.time = &rig.clock;
        services.dialogs = &rig.dialogs;
        services.processes = &rig.processes;
        services.programFolder = rig.folder.path();
        services.settingsFolder = rig.folder.path();
        services.backupFolder = rig.folder.path();
        services.today = [] { return QDate(2026, 12, 7); };
        services.quit = [] {};
        context = std::make_unique<PanelContext>(
            PanelContext{rig.window->state(), rig.window->link(), rig.window->generator(), services,
                         polling, nullptr, [] {}, [] { return false; }, [](const QString &) {}});
        update_ = std::make_unique<FirmwareUpdate>(*context, FirmwareUpdate::Controls{});
        dialog = &update_->dialog();
        dialog->showFolder(images.path());
        dialog->show();
        rig.dialogs.asked.clear();
    }

    template <typename T> T *child(const char *name) {
        return dialog->findChild<T *>(QLatin1String(name));
    }
    QString progress() { return child<QLabel>("progressLabel")->text(); }
    bool writeEnabled() { return child<QPushButton>("writeButton")->isEnabled(); }
    bool warningShown() { return child<QGroupBox>("warningFrame")->isVisible(); }

    void clickFile(const char *name) {
        QListWidget *list = child<QListWidget>("fileList");
        const auto items = list->findItems(QLatin1String(name), Qt::MatchExactly);
        ASSERT_EQ(items.size(), 1) << name;
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(items.front()).center());
    }
    // Clicks "Write to device", confirms and runs the checks; true once the progress
    // panel is up (t0 is then its time).
    bool start() {
        rig.dialogs.yesNoAnswers = {true};
        QTest::mouseClick(child<QPushButton>("writeButton"), Qt::LeftButton);
        for (int waited = 0; !dialog->updateRunning() && waited < 6000; waited += 10)
            rig.clock.advance(10);
        t0 = rig.clock.nowMs();
        return dialog->updateRunning();
    }
    // Chooses the image, confirms and lets the update run to its end.
    void update(const char *image = "41200207.bin") {
        clickFile(image);
        start();
        rig.advance(180000, 100);
    }
    QString backupPath() const { return rig.folder.filePath(QStringLiteral("41200105.bkp")); }
    QString oldPath() const { return rig.folder.filePath(QStringLiteral("oldback.bkp")); }
    // Where the read-back writes until it has ended well.
    QString partPath() const { return backupPath() + QStringLiteral(".part"); }
    QStringList messages() const {
        QStringList out;
        for (const auto &a : rig.dialogs.asked)
            if (a.kind == QStringLiteral("message"))
                out << a.title + QStringLiteral(": ") + a.text;
        return out;
    }

    PanelRig rig;
    QTemporaryDir images;
    FakePolling polling;
    Services services;
    std::unique_ptr<PanelContext> context;
    std::unique_ptr<FirmwareUpdate> update_;
    FirmwareUpdateDialog *dialog = nullptr;
    qint64 t0 = 0;
};

TEST_F(FirmwareWindow, ListsTheImagesAndArmsTheWriteOnlyForNamesBeginning41) {
    QListWidget *files = child<QListWidget>("fileList");
    QStringList listed;
    for (int i = 0; i < files->count(); ++i)
        listed << files->item(i)->text();
    EXPECT_EQ(listed, (QStringList{"41100300.bin", "41200207.bin", "readme.bin"}));
    EXPECT_EQ(child<QLabel>("currentVersionLabel")->text(), QStringLiteral("1.05"));
    EXPECT_FALSE(writeEnabled());
    EXPECT_FALSE(warningShown());

    clickFile("41200207.bin");
    EXPECT_TRUE(writeEnabled());
    EXPECT_TRUE(warningShown());
    EXPECT_EQ(child<QLabel>("selectedVersionLabel")->text(), QStringLiteral("2.7"));

    clickFile("readme.bin");
    EXPECT_FALSE(writeEnabled());
    EXPECT_FALSE(warningShown());
    EXPECT_EQ(child<QLabel>("selectedVersionLabel")->text(), QStringLiteral("2.7"))
        << "keeps the version of the file chosen before";

    QTest::mouseClick(child<QPushButton>("exitButton"), Qt::LeftButton);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_TRUE(rig.processes.started.empty());
}

TEST_F(FirmwareWindow, NoToTheConfirmationLeavesEverythingAsItWas) {
    clickFile("41200207.bin");
    rig.dialogs.yesNoAnswers = {false};
    QTest::mouseClick(child<QPushButton>("writeButton"), Qt::LeftButton);
    rig.advance(60000, 1000);
    ASSERT_EQ(rig.dialogs.asked.size(), 1u);
    EXPECT_EQ(rig.dialogs.asked[0].title, QStringLiteral("Write"));
    EXPECT_EQ(rig.dialogs.asked[0].text,
              QStringLiteral("Write new firmware binary file to Your device. Are You sure ?"));
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_TRUE(writeEnabled()) << "the file stays chosen";
    EXPECT_TRUE(rig.port.isOpen());
    EXPECT_TRUE(polling.changes.empty());
    EXPECT_TRUE(rig.processes.started.empty());
}

TEST_F(FirmwareWindow, ImageForAnotherModelIsRefusedAndNothingIsTouched) {
    struct Case {
        const char *image;
        const char *model;
    };
    for (const Case c : {Case{"41100300.bin", "KVT 20"}, Case{"41200207.bin", ""}}) {
        dialog->show();
        rig.dialogs.asked.clear();
        rig.window->state().modelName = QString::fromUtf8(c.model);
        update(c.image);
        EXPECT_EQ(messages(),
                  QStringList{"Error: This binary file is build for another version of KVT !"})
            << c.image;
        EXPECT_FALSE(dialog->isVisible());
        EXPECT_TRUE(rig.port.isOpen());
        EXPECT_EQ(rig.port.closeCount, 0);
        EXPECT_TRUE(polling.changes.empty());
        EXPECT_TRUE(rig.processes.started.empty());
    }
}

TEST_F(FirmwareWindow, TimetableShowsEachTextBeforeItsWaitAndStartsBothRunsOnTime) {
    QFile previous(backupPath());
    ASSERT_TRUE(previous.open(QIODevice::WriteOnly));
    previous.write("previous backup");
    previous.close();
    rig.processes.outcomes = {Probe, {1500, 0, partPath()}, {9000, 0, {}}};

    clickFile("41200207.bin");
    rig.port.takeLines();
    ASSERT_TRUE(start());
    // The checks ran avrdude once, quickly, before anything changed.
    ASSERT_EQ(rig.processes.started.size(), 1u);
    EXPECT_EQ(rig.processes.started[0].arguments, QStringList{"-?"});
    rig.processes.started.clear();
    EXPECT_TRUE(child<QFrame>("progressPanel")->isVisible());
    EXPECT_EQ(child<QFrame>("progressPanel")->geometry(), dialog->rect());
    EXPECT_FALSE(rig.port.isOpen());
    EXPECT_EQ(polling.changes, std::vector<bool>{false});

    // Every change of the progress text, with its time from the progress panel's start.
    std::vector<std::pair<qint64, QString>> shown{{0, progress()}};
    std::vector<qint64> startedAt;
    bool closedThroughout = true;
    while (rig.clock.nowMs() - t0 < 53000) {
        rig.clock.advance(1);
        if (progress() != shown.back().second)
            shown.push_back({rig.clock.nowMs() - t0, progress()});
        while (startedAt.size() < rig.processes.started.size())
            startedAt.push_back(rig.clock.nowMs() - t0);
        if (dialog->updateRunning())
            closedThroughout = closedThroughout && !rig.port.isOpen();
    }
    const std::vector<std::pair<qint64, QString>> expected{
        {0, "Resetting connection..."},
        {2000, "Erasing and checking device memory..."},
        {8000, "Set device registers..."},
        {10000, "Saving old configuration..."},
        {14000, "Preparing upload package..."},
        {22000, "Uploading...0%"},
        {27000, "Uploading...18%"},
        {32000, "Uploading...34%"},
        {37000, "Uploading...51%"},
        {42000, "Uploading...67%"},
        {47000, "Uploading...82%"},
        {52000, "Uploading..100%"},
    };
    EXPECT_EQ(shown, expected);
    EXPECT_EQ(startedAt, (std::vector<qint64>{2000, 22000}));
    EXPECT_TRUE(closedThroughout);

    const QString avrdude = rig.folder.filePath(QStringLiteral("avrdude"));
    const QStringList common{"-q", "-q", "-p", "atmega328p", "-c", "stk500v1", "-P", "/dev/fake2"};
    ASSERT_EQ(rig.processes.started.size(), 2u);
    EXPECT_EQ(rig.processes.started[0].program, avrdude);
    EXPECT_EQ(rig.processes.started[0].arguments,
              common + QStringList({"-b", "57600", "-D", "-U", "flash:r:" + partPath() + ":i"}));
    EXPECT_EQ(rig.processes.started[1].program, avrdude);
    EXPECT_EQ(rig.processes.started[1].arguments,
              common + QStringList({"-b", "57600", "-D", "-U",
                                    "flash:w:" + images.filePath("41200207.bin") + ":i"}));

    EXPECT_EQ(messages(), QStringList{"KVT Control Panel: " + Success});
    QFile old(rig.folder.filePath(QStringLiteral("oldback.bkp")));
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), QByteArray("previous backup"));
    EXPECT_TRUE(rig.port.isOpen());
    EXPECT_EQ(rig.port.openAttempts.back(), 2);
    EXPECT_EQ(polling.changes, (std::vector<bool>{false, true}));
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_FALSE(dialog->updateRunning());
}

// What avrdude did decides the result and what becomes of the backups: only a
// read-back that ended well replaces K (the earlier K becomes oldback.bkp); a stuck
// read-back is ended for the write, a slow write is waited for up to 120 s more.
TEST_F(FirmwareWindow, ResultNeedsTheBackupAndAWriteThatEndedWell) {
    struct Case {
        const char *name;
        Outcome readBack;
        Outcome write;
        const char *result;
        qint64 readBackKilledAt; // from the progress panel's start; -1: not killed
        qint64 writeKilledAt;
        bool rotated;     // the new backup took K's place
        const char *note; // more of the message, or nullptr
    };
    const QString p = partPath();
    const Case cases[] = {
        {"both succeed", {1000, 0, p}, {9000, 0, {}}, "success", -1, -1, true, nullptr},
        {"read-back just within its 20 s",
         {19999, 0, p},
         {1000, 0, {}},
         "success",
         -1,
         -1,
         true,
         nullptr},
        {"write just within its 30 s",
         {1000, 0, p},
         {29999, 0, {}},
         "success",
         -1,
         -1,
         true,
         nullptr},
        {"write ends after its 30 s, inside the 120 s more",
         {1000, 0, p},
         {149000, 0, {}},
         "success",
         -1,
         -1,
         true,
         nullptr},
        {"write outlives 120 s more",
         {1000, 0, p},
         {-1, 0, {}},
         "error",
         -1,
         172000,
         true,
         "may need its firmware written again"},
        {"no generator answers the read-back",
         {1000, 1, {}},
         {1000, 1, {}},
         "error",
         -1,
         -1,
         false,
         nullptr},
        {"read-back fails after a partial file",
         {1000, 1, p},
         {1000, 0, {}},
         "error",
         -1,
         -1,
         false,
         nullptr},
        {"write fails after a good read-back",
         {1000, 0, p},
         {9000, 1, {}},
         "error",
         -1,
         -1,
         true,
         nullptr},
        {"read-back hangs", {-1, 0, p}, {1000, 0, {}}, "error", 22000, -1, false, nullptr},
        {"write cannot start", {1000, 0, p}, {0, 0, {}, false}, "error", -1, -1, true, nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        putFile(backupPath(), "previous");
        putFile(oldPath(), "oldest");
        dialog->show();
        rig.dialogs.asked.clear();
        polling.changes.clear();
        rig.processes.outcomes = {Probe, c.readBack, c.write};
        clickFile("41200207.bin");
        ASSERT_TRUE(start());
        rig.processes.started.erase(rig.processes.started.begin()); // the checks' run
        rig.advance(52100, 100);
        const QString atResult = progress();
        rig.advance(130000, 100);

        const QStringList shown = messages();
        ASSERT_EQ(shown.size(), 1);
        EXPECT_TRUE(shown[0].startsWith("KVT Control Panel: " +
                                        (c.result == std::string("success") ? Success : Failure)))
            << shown[0].toStdString();
        if (c.note) {
            EXPECT_TRUE(shown[0].contains(QLatin1String(c.note))) << shown[0].toStdString();
            EXPECT_TRUE(shown[0].contains(backupPath())) << "names the backup to write back";
        } else {
            EXPECT_EQ(shown[0].indexOf('\n'), -1) << shown[0].toStdString();
        }
        const bool slowWrite = c.write.runsMs < 0 || c.write.runsMs > 30000;
        EXPECT_EQ(atResult, slowWrite
                                ? QStringLiteral("Uploading..100%\nWriting goes on, please wait...")
                                : QStringLiteral("Uploading..100%"));
        ASSERT_EQ(rig.processes.started.size(), 2u);
        EXPECT_EQ(rig.processes.started[0].killedAt,
                  c.readBackKilledAt < 0 ? -1 : t0 + c.readBackKilledAt);
        EXPECT_EQ(rig.processes.started[1].killedAt,
                  c.writeKilledAt < 0 ? -1 : t0 + c.writeKilledAt);
        EXPECT_EQ(fileContent(backupPath()),
                  c.rotated ? QByteArray(":00000001FF\n") : QByteArray("previous"));
        EXPECT_EQ(fileContent(oldPath()),
                  c.rotated ? QByteArray("previous") : QByteArray("oldest"));
        EXPECT_FALSE(QFile::exists(partPath()));
        EXPECT_TRUE(rig.port.isOpen());
        EXPECT_EQ(rig.port.openAttempts.back(), 2);
        EXPECT_EQ(polling.changes, (std::vector<bool>{false, true}));
        EXPECT_FALSE(dialog->isVisible());
        rig.processes.started.clear();
    }
}

// Every check refuses before anything changes: no backup rotated, the port and the
// poll untouched, the window still open for another choice.
TEST_F(FirmwareWindow, ChecksRefuseBeforeAnythingChanges) {
    const QString avrdude = rig.folder.filePath(QStringLiteral("avrdude"));
    const QString image = images.filePath(QStringLiteral("41200207.bin"));
    const QByteArray path = qgetenv("PATH");
    QByteArray badSum = intelhex::write(0, QByteArray(40, 'x'));
    const qsizetype lineTwoSum = badSum.indexOf('\n') + 43; // line 2's last checksum digit
    badSum[lineTwoSum] = badSum[lineTwoSum] == '0' ? '1' : '0';
    struct Case {
        const char *name;
        std::function<void()> arrange;
        QString says;
        std::size_t runs; // avrdude runs the checks started
    };
    const Case cases[] = {
        {"avrdude nowhere",
         [&] {
             QFile::remove(avrdude);
             qputenv("PATH", images.path().toLocal8Bit());
         },
         "sudo apt install avrdude", 0},
        {"avrdude does not start",
         [&] {
             rig.processes.outcomes = {{0, 0, {}, false}};
         },
         "does not start", 1},
        {"avrdude does not end",
         [&] {
             rig.processes.outcomes = {{-1, 0, {}}};
         },
         "does not end", 1},
        {"a wrong checksum", [&] { putFile(image, badSum); }, "line 2 has a wrong checksum", 1},
        // A missing folder is made; one that cannot be (a file is in the way) is refused.
        {"backup folder not writable",
         [&] {
             putFile(images.filePath(QStringLiteral("blocked")), "a file, not a folder");
             services.backupFolder = images.filePath(QStringLiteral("blocked/KVT"));
         },
         images.filePath(QStringLiteral("blocked/KVT")), 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        putFile(avrdude, "#!/bin/sh\n");
        QFile(avrdude).setPermissions(QFile(avrdude).permissions() | QFileDevice::ExeOwner);
        qputenv("PATH", path);
        putFile(image, intelhex::write(0, "firmware"));
        services.backupFolder = rig.folder.path();
        putFile(backupPath(), "previous");
        putFile(oldPath(), "oldest");
        rig.dialogs.asked.clear();
        rig.processes.started.clear();
        rig.processes.outcomes = {Probe};
        c.arrange();

        clickFile("41200207.bin");
        const qint64 clicked = rig.clock.nowMs();
        EXPECT_FALSE(start());
        qputenv("PATH", path);
        rig.advance(60000, 100);

        const QStringList shown = messages();
        ASSERT_EQ(shown.size(), 1);
        EXPECT_TRUE(shown[0].startsWith(QStringLiteral("Error: "))) << shown[0].toStdString();
        EXPECT_TRUE(shown[0].contains(c.says)) << shown[0].toStdString();
        EXPECT_EQ(rig.processes.started.size(), c.runs);
        if (c.runs == 1 && rig.processes.started[0].killed) {
            EXPECT_EQ(rig.processes.started[0].killedAt, clicked + FirmwareUpdate::ProbeMs);
        }
        EXPECT_EQ(fileContent(backupPath()), QByteArray("previous"));
        EXPECT_EQ(fileContent(oldPath()), QByteArray("oldest"));
        EXPECT_TRUE(rig.port.isOpen());
        EXPECT_EQ(rig.port.closeCount, 0);
        EXPECT_TRUE(polling.changes.empty());
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_TRUE(writeEnabled()) << "the choice stays for another try";
    }
}

// A backup of the very version on the generator can go back: what is written is its
// data below the bootloader, from a copy, and the chosen backup survives the run's own
// read-back (as oldback.bkp, the new read-back taking its name).
TEST_F(FirmwareWindow, BackupWrittenBackLosesItsBootSectionAndIsKept) {
    QByteArray flash(32 * 1024, '\0');
    for (int i = 0; i < flash.size(); ++i)
        flash[i] = static_cast<char>(i * 7 + 3);
    const QByteArray chosen = intelhex::write(0, flash);
    putFile(backupPath(), chosen);
    putFile(oldPath(), "oldest");
    dialog->showFolder(rig.folder.path());
    child<QComboBox>("fileTypeBox")->setCurrentIndex(1);
    QListWidget *files = child<QListWidget>("fileList");
    ASSERT_EQ(files->count(), 2);
    EXPECT_EQ(files->item(0)->text(), QStringLiteral("41200105.bkp"));
    EXPECT_EQ(files->item(1)->text(), QStringLiteral("oldback.bkp"));
    clickFile("oldback.bkp");
    EXPECT_FALSE(writeEnabled()) << "not a name the version can be read from";
    clickFile("41200105.bkp");
    EXPECT_EQ(child<QLabel>("selectedVersionLabel")->text(), QStringLiteral("1.5"));

    rig.processes.outcomes = {Probe, {1000, 0, partPath()}, {9000, 0, {}}};
    ASSERT_TRUE(start());
    rig.advance(22100, 100);
    ASSERT_EQ(rig.processes.started.size(), 3u);
    QString written = rig.processes.started[2].arguments.last();
    ASSERT_TRUE(written.startsWith("flash:w:") && written.endsWith(":i"));
    written = written.mid(8, written.size() - 10);
    EXPECT_NE(written, backupPath());
    const QByteArray memory = intelhex::read(fileContent(written), flash.size());
    EXPECT_EQ(memory.left(0x7800), flash.left(0x7800));
    EXPECT_EQ(memory.mid(0x7800), QByteArray(0x800, '\xff'));
    rig.advance(40000, 100);

    EXPECT_EQ(messages(), QStringList{"KVT Control Panel: " + Success});
    EXPECT_EQ(fileContent(oldPath()), chosen);
    EXPECT_EQ(fileContent(backupPath()), QByteArray(":00000001FF\n"));
    EXPECT_FALSE(QFile::exists(written)) << "the copy goes at the end";
}

// Recovery of a generator that does not answer: the image's name is confirmed instead
// of the model test, there is no read-back, the write alone decides, and the line is
// left closed for discovery to start again.
TEST_F(FirmwareWindow, RecoveryConfirmsTheImageSkipsTheReadBackAndJudgesTheWriteAlone) {
    for (const int exitCode : {0, 1}) {
        SCOPED_TRACE(exitCode);
        rig.window->state().portNumber = 2;
        rig.window->link().closePort(); // discovery has given up: the line is closed
        rig.port.openResults[5] = 0;
        rig.dialogs.asked.clear();
        rig.processes.started.clear();
        polling.changes.clear();
        rig.processes.outcomes = {Probe, {9000, exitCode, {}}};
        rig.dialogs.yesNoAnswers = {true, true};
        rig.dialogs.modalActions.push_back([&](QDialog &) {
            EXPECT_TRUE(child<QLabel>("noteLabel")->text().contains("cannot be kept as a backup"));
            clickFile("41200207.bin");
            QTest::mouseClick(child<QPushButton>("writeButton"), Qt::LeftButton);
            rig.advance(60000, 100);
        });
        EXPECT_EQ(update_->recover(5), exitCode == 0);

        ASSERT_GE(rig.dialogs.asked.size(), 3u);
        EXPECT_EQ(rig.dialogs.asked[2].text,
                  QStringLiteral("The file 41200207.bin is firmware version 2.7 for the KVT 20. "
                                 "Write it to the generator on COM5 ?"));
        EXPECT_EQ(messages(),
                  QStringList{"KVT Control Panel: " + (exitCode == 0 ? Success : Failure)});
        ASSERT_EQ(rig.processes.started.size(), 2u)
            << "the check's run and the write, no read-back";
        EXPECT_EQ(rig.processes.started[1].arguments.at(7), QStringLiteral("/dev/fake5"));
        EXPECT_FALSE(rig.port.isOpen()) << "discovery opens the port again";
        EXPECT_TRUE(polling.changes.empty());
        EXPECT_TRUE(QDir(rig.folder.path()).entryList({"*.bkp*"}).isEmpty());
    }
}

TEST_F(FirmwareWindow, TheRetriesOfALostPortLeaveItToTheUploaderWhileTheUpdateRuns) {
    rig.port.openResults[2] = SerialPort::InvalidPort;
    rig.port.unplug(); // lost with the window open; the retries run
    clickFile("41200207.bin");
    rig.port.openResults[2] = 0; // back, and avrdude uses it
    ASSERT_TRUE(start());
    bool closedThroughout = true;
    while (dialog->updateRunning()) {
        rig.advance(100);
        if (dialog->updateRunning())
            closedThroughout = closedThroughout && !rig.port.isOpen();
    }
    EXPECT_TRUE(closedThroughout);
    EXPECT_TRUE(rig.port.isOpen()) << "taken back when the update has ended";
    rig.reply("KVT20v2.07\r\n");
    EXPECT_TRUE(ui(*rig.window).readyLamp->isLit());
}

TEST_F(FirmwareWindow, CannotBeClosedWhileTheUpdateRuns) {
    clickFile("41200207.bin");
    ASSERT_TRUE(start());
    rig.advance(10000, 100);
    EXPECT_FALSE(dialog->close());
    QTest::keyClick(dialog, Qt::Key_Escape);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_TRUE(dialog->updateRunning());
    rig.advance(45000, 100);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_TRUE(rig.port.isOpen());

    // The next showing starts clean: a file must be chosen anew.
    dialog->show();
    EXPECT_FALSE(child<QFrame>("progressPanel")->isVisible());
    EXPECT_FALSE(writeEnabled());
}

} // namespace
