// The firmware-update window: the file choice and its checks, the confirmation and the
// model test, the checks before anything changes, the progress texts placed by the work
// of the two avrdude runs played on the manual clock, how their outcomes and the
// generator's identity after the write decide the result and what becomes of the
// backups, writing a backup back, the lock, and the port taken back.
#include "tests/support/fakes.h"

#include "instrument/firmwareupdate.h"
#include "instrument/polling.h"
#include "link/link.h"
#include "setup/firmwareupdatedialog.h"
#include "tests/support/intelhex.h"
#include "tests/support/panelui.h"

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
        ASSERT_EQ(rig.record().modelName, QStringLiteral("KVT 20"));
        ASSERT_EQ(rig.record().bootloaderBaud, 57600);
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
        update_ = std::make_unique<FirmwareUpdate>(FirmwareUpdate::Context{
            rig.instrument->state(), rig.instrument->link(), polling, services});
        window_ = std::make_unique<FirmwareUpdateDialog>(*update_, rig.instrument->state(),
                                                         rig.dialogs, [] { return false; });
        dialog = window_.get();
        dialog->setBackupFolder(services.backupFolder);
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
    bool progressShown() { return child<QFrame>("progressPanel")->isVisible(); }
    // Clicks "Write to device", confirms and runs the checks; true once the progress
    // panel is up (t0 is then its time).
    bool start() {
        rig.dialogs.yesNoAnswers = {true};
        QTest::mouseClick(child<QPushButton>("writeButton"), Qt::LeftButton);
        for (int waited = 0; !progressShown() && waited < 6000; waited += 10)
            rig.clock.advance(10);
        t0 = rig.clock.nowMs();
        return progressShown();
    }
    // Runs the update to its result in steps of `step` ms; once the window waits for
    // the generator after the write, `identity` arrives (none: it stays silent).
    void finish(const QByteArray &identity = "KVT20v2.07\r\n", qint64 step = 100) {
        bool answered = identity.isEmpty();
        for (int i = 0; dialog->updateRunning() && i < 400000 / step; ++i) {
            rig.advance(step, step);
            if (!answered && progress() == FirmwareUpdate::waitingText()) {
                rig.reply(identity);
                answered = true;
            }
        }
    }
    // Chooses the image, confirms and lets the update run to its end.
    void update(const char *image = "41200207.bin") {
        clickFile(image);
        start();
        finish();
    }
    QString backupPath() const { return rig.folder.filePath(QStringLiteral("41200105.bkp")); }
    QString oldPath() const { return rig.folder.filePath(QStringLiteral("oldback.bkp")); }
    // Where the read-back writes until it has ended well.
    QString partPath() const { return backupPath() + QStringLiteral(".part"); }
    // The backup held apart after a failed write.
    QString heldPath() const { return rig.folder.filePath(QStringLiteral("41200105-held.bkp")); }
    QStringList messages() const {
        QStringList out;
        for (const auto &a : rig.dialogs.asked)
            if (a.kind == QStringLiteral("message"))
                out << a.title + QStringLiteral(": ") + a.text;
        return out;
    }

    PanelRig rig;
    QTemporaryDir images;
    RecordingPolling polling;
    Services services;
    std::unique_ptr<FirmwareUpdate> update_;
    std::unique_ptr<FirmwareUpdateDialog> window_;
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
        rig.record().modelName = QString::fromUtf8(c.model);
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

// Every text the progress label paints, with the clock's time.
class PaintedTexts final : public QObject {
public:
    PaintedTexts(QLabel *label, const ManualClock &clock) : m_label(label), m_clock(clock) {
        label->installEventFilter(this);
    }
    std::vector<std::pair<qint64, QString>> shown;

protected:
    bool eventFilter(QObject *, QEvent *event) override {
        if (event->type() == QEvent::Paint &&
            (shown.empty() || shown.back().second != m_label->text()))
            shown.push_back({m_clock.nowMs(), m_label->text()});
        return false;
    }

private:
    QLabel *m_label;
    const ManualClock &m_clock;
};

// Each step lasts as long as its avrdude run, and its texts are placed by the time the
// bytes it moves take at the line's rate: the read-back's three across 32 KiB at 57600
// bit/s (5688 ms), the upload texts at their percentages of the image's bytes written
// and verified. A run that takes longer holds its last text, one that ends early skips
// the rest, and the next step starts at once.
TEST_F(FirmwareWindow, TextsFollowTheWorkAndEachStepStartsWhenTheLastEnds) {
    putFile(backupPath(), "previous backup");
    // 5760 bytes, written and verified at 57600 bit/s: 2000 ms.
    putFile(images.filePath(QStringLiteral("41200207.bin")),
            intelhex::write(0, QByteArray(5760, 'x')));
    rig.processes.outcomes = {Probe, {9000, 0, partPath()}, {1500, 0, {}}};
    std::vector<qint64> startedAt;
    QStringList textAtStart;
    rig.processes.onStart = [&] {
        startedAt.push_back(rig.clock.nowMs());
        textAtStart << progress();
    };
    PaintedTexts painted(child<QLabel>("progressLabel"), rig.clock);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog));

    clickFile("41200207.bin");
    rig.port.takeLines();
    ASSERT_TRUE(start());
    // The checks ran avrdude once, quickly, before anything changed (then a 2 s pause).
    ASSERT_EQ(rig.processes.started.size(), 1u);
    EXPECT_EQ(rig.processes.started[0].arguments, QStringList{"-?"});
    EXPECT_EQ(child<QFrame>("progressPanel")->geometry(), dialog->rect());
    EXPECT_FALSE(rig.port.isOpen());
    EXPECT_EQ(polling.changes, std::vector<bool>{false});

    bool closedThroughout = true;
    while (progress() != FirmwareUpdate::waitingText() && rig.clock.nowMs() - t0 < 20000) {
        rig.clock.advance(1);
        if (progress() != FirmwareUpdate::waitingText())
            closedThroughout = closedThroughout && !rig.port.isOpen();
    }
    EXPECT_TRUE(closedThroughout);
    EXPECT_TRUE(rig.port.isOpen()) << "taken back to hear the generator start";
    rig.advance(300);
    rig.reply("KVT20v2.07\r\n");
    rig.advance(100);

    ASSERT_EQ(startedAt.size(), 3u);
    const qint64 r = startedAt[1];
    EXPECT_EQ(startedAt[2] - r, 9000) << "the write starts as the read-back ends";
    EXPECT_EQ(textAtStart.mid(1),
              (QStringList{"Resetting connection...", "Preparing upload package..."}));
    std::vector<std::pair<qint64, QString>> shown;
    for (const auto &[at, text] : painted.shown)
        if (at >= t0 - 10)
            shown.push_back({at - r, text});
    const std::vector<std::pair<qint64, QString>> expected{
        {-2000, "Resetting connection..."},
        {0, "Erasing and checking device memory..."},
        {2844, "Set device registers..."},
        {3810, "Saving old configuration..."},
        {9000, "Preparing upload package..."},
        {9000, "Uploading...0%"},
        {9360, "Uploading...18%"},
        {9680, "Uploading...34%"},
        {10020, "Uploading...51%"},
        {10340, "Uploading...67%"},
        {10500, "Uploading..100%"},
        {10500, FirmwareUpdate::waitingText()},
    };
    EXPECT_EQ(shown, expected);

    const QString avrdude = rig.folder.filePath(QStringLiteral("avrdude"));
    const QStringList common{"-q", "-q", "-p", "atmega328p", "-c", "stk500v1", "-P", "/dev/fake2"};
    ASSERT_EQ(rig.processes.started.size(), 3u);
    EXPECT_EQ(rig.processes.started[1].program, avrdude);
    EXPECT_EQ(rig.processes.started[1].arguments,
              common + QStringList({"-b", "57600", "-D", "-U", "flash:r:" + partPath() + ":i"}));
    EXPECT_EQ(rig.processes.started[2].program, avrdude);
    EXPECT_EQ(rig.processes.started[2].arguments,
              common + QStringList({"-b", "57600", "-D", "-U",
                                    "flash:w:" + images.filePath("41200207.bin") + ":i"}));

    EXPECT_EQ(messages(), QStringList{"KVT Control Panel: " + Success});
    EXPECT_EQ(fileContent(oldPath()), QByteArray("previous backup"));
    EXPECT_TRUE(rig.port.isOpen());
    EXPECT_EQ(rig.port.openAttempts.back(), 2);
    EXPECT_EQ(polling.changes, (std::vector<bool>{false, true}));
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_FALSE(dialog->updateRunning());
}

// What avrdude did and what the generator announces after the write decide the result
// and what becomes of the backups: only a read-back that ended well replaces K (the
// earlier K becomes oldback.bkp), and only then is anything written; a failed write
// holds the backup taken before it apart; a run is ended only once it outlives its
// predicted time by 120 s.
TEST_F(FirmwareWindow, ResultNeedsABackupAGoodWriteAndTheImagesVersionAnnounced) {
    struct Case {
        const char *name;
        Outcome readBack;
        std::optional<Outcome> write; // nullopt: nothing may be written
        QByteArray identity;          // announced after the write
        bool success;
        qint64 killedAfter; // ms after its start the last run was ended; -1: not
        bool rotated;       // the new backup took K's place
        bool held;          // K was held apart after a failed write
        QString says;       // in a failure's message after its leading line
    };
    const QString p = partPath();
    const QByteArray announced = "KVT20v2.07\r\n";
    const QByteArray unchanged = "KVT20v1.05\r\n";
    const Case cases[] = {
        {"both succeed", {1000, 0, p}, Outcome{9000, 0, {}}, announced, true, -1, true, false, {}},
        {"the write takes 100 s, inside its bound",
         {1000, 0, p},
         Outcome{100000, 0, {}},
         announced,
         true,
         -1,
         true,
         false,
         {}},
        {"the read-back fails",
         {1000, 1, {}},
         std::nullopt,
         {},
         false,
         -1,
         false,
         false,
         "No backup of the firmware on the generator could be made (avrdude ended with exit "
         "status 1), so nothing was written: the firmware on the generator is unchanged."},
        {"the read-back fails after a partial file",
         {1000, 1, p},
         std::nullopt,
         {},
         false,
         -1,
         false,
         false,
         "exit status 1), so nothing was written"},
        {"the read-back ends well without a file",
         {1000, 0, {}},
         std::nullopt,
         {},
         false,
         -1,
         false,
         false,
         "avrdude ended without writing it), so nothing was written"},
        {"the read-back hangs",
         {-1, 0, p},
         std::nullopt,
         {},
         false,
         5688 + 120000,
         false,
         false,
         "avrdude did not end within 125 s and was stopped), so nothing was written"},
        {"the write fails and the old firmware runs",
         {1000, 0, p},
         Outcome{9000, 1, {}},
         unchanged,
         false,
         -1,
         true,
         true,
         "The write failed: avrdude ended with exit status 1."},
        {"the write outlives its bound",
         {1000, 0, p},
         Outcome{-1, 0, {}},
         unchanged,
         false,
         2 + 120000,
         true,
         true,
         "did not end within 120 s and was stopped. The generator may need its firmware "
         "written again: write the backup " +
             heldPath() + " back"},
        {"another version runs after the write",
         {1000, 0, p},
         Outcome{9000, 0, {}},
         "KVT20v2.06\r\n",
         false,
         -1,
         true,
         true,
         "The generator now runs firmware version 2.06, not the version 2.7 of 41200207.bin."},
        {"the write cannot start",
         {1000, 0, p},
         Outcome{0, 0, {}, false},
         {},
         false,
         -1,
         true,
         false,
         "could not be started for the write: nothing was written"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        rig.record().firmwareVersion = QStringLiteral("1.05");
        putFile(backupPath(), "previous");
        putFile(oldPath(), "oldest");
        QFile::remove(heldPath());
        dialog->show();
        rig.dialogs.asked.clear();
        polling.changes.clear();
        rig.processes.started.clear();
        std::vector<qint64> startedAt;
        rig.processes.onStart = [&] { startedAt.push_back(rig.clock.nowMs()); };
        rig.processes.outcomes = {Probe, c.readBack};
        if (c.write)
            rig.processes.outcomes.push_back(*c.write);
        clickFile("41200207.bin");
        ASSERT_TRUE(start());
        finish(c.identity);

        const QStringList shown = messages();
        ASSERT_EQ(shown.size(), 1);
        const QString first = "KVT Control Panel: " + (c.success ? Success : Failure);
        if (c.success) {
            EXPECT_EQ(shown[0], first);
        } else {
            EXPECT_TRUE(shown[0].startsWith(first + "\n\n")) << shown[0].toStdString();
            EXPECT_TRUE(shown[0].contains(c.says)) << shown[0].toStdString();
        }
        ASSERT_EQ(rig.processes.started.size(), c.write ? 3u : 2u) << "nothing written";
        for (std::size_t i = 0; i + 1 < rig.processes.started.size(); ++i)
            EXPECT_FALSE(rig.processes.started[i].killed);
        EXPECT_EQ(rig.processes.started.back().killedAt,
                  c.killedAfter < 0 ? -1 : startedAt.back() + c.killedAfter);
        EXPECT_EQ(fileContent(backupPath()),
                  c.rotated ? QByteArray(":00000001FF\n") : QByteArray("previous"));
        EXPECT_EQ(fileContent(oldPath()),
                  c.rotated ? QByteArray("previous") : QByteArray("oldest"));
        EXPECT_EQ(fileContent(heldPath()),
                  c.held ? QByteArray(":00000001FF\n") : QByteArray("(none)"));
        EXPECT_FALSE(QFile::exists(partPath()));
        EXPECT_TRUE(rig.port.isOpen());
        EXPECT_EQ(rig.port.openAttempts.back(), 2);
        EXPECT_EQ(polling.changes, (std::vector<bool>{false, true}));
        EXPECT_FALSE(dialog->isVisible());
        EXPECT_FALSE(dialog->updateRunning());
    }
}

// A generator that stays silent after a write is shown as gone (Ready dark, controls
// off, no poll) and the window turns at once into the recovery of its port; when the
// recovery's write makes it announce the image's version, the panel is back.
TEST_F(FirmwareWindow, SilentAfterTheWriteShowsNoGeneratorAndOffersTheRecoveryAtOnce) {
    rig.processes.outcomes = {Probe, {1000, 0, partPath()}, {9000, 0, {}}};
    clickFile("41200207.bin");
    ASSERT_TRUE(start());
    finish({});

    QStringList shown = messages();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_TRUE(shown[0].startsWith("KVT Control Panel: " + Failure + "\n\n"));
    EXPECT_TRUE(shown[0].contains("The generator does not answer after the write"))
        << shown[0].toStdString();
    EXPECT_TRUE(shown[0].contains(heldPath())) << "names the backup to write back";
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_FALSE(progressShown());
    EXPECT_FALSE(dialog->updateRunning());
    EXPECT_TRUE(child<QLabel>("noteLabel")->text().contains("COM2"));
    EXPECT_FALSE(ui(*rig.window).readyLamp->isLit());
    EXPECT_FALSE(ui(*rig.window).infoButton->isEnabled());
    EXPECT_EQ(rig.record().connected, 0);
    rig.port.takeLines();
    rig.advance(10000, 100);
    EXPECT_TRUE(rig.port.takeLines().isEmpty()) << "no poll of a silent generator";
    EXPECT_FALSE(rig.port.isOpen()) << "the recovery keeps the port";

    rig.dialogs.asked.clear();
    rig.processes.started.clear();
    rig.processes.outcomes = {Probe, {9000, 0, {}}};
    rig.dialogs.yesNoAnswers = {true, true};
    QTest::mouseClick(child<QPushButton>("writeButton"), Qt::LeftButton);
    finish("KVT20v2.07\r\n");

    ASSERT_GE(rig.dialogs.asked.size(), 2u);
    EXPECT_TRUE(rig.dialogs.asked[1].text.endsWith("Write it to the generator on COM2 ?"));
    EXPECT_EQ(messages(), QStringList{"KVT Control Panel: " + Success});
    ASSERT_EQ(rig.processes.started.size(), 2u) << "the check's run and the write, no read-back";
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_TRUE(ui(*rig.window).readyLamp->isLit());
    EXPECT_FALSE(QFile::exists(heldPath()));
    EXPECT_TRUE(QFile::exists(rig.folder.filePath(QStringLiteral("41200105-kept.bkp"))))
        << "the held backup stays once a write has succeeded";
    rig.advance(4000, 100); // the reconnection's next try (every 1.5 s), then its queries
    EXPECT_TRUE(rig.port.takeLines().contains("G")) << "the poll runs again";
}

// Three failed writes, each leaving changed firmware of the same version: the backup of
// the firmware from before the first stays held, while K and oldback.bkp rotate over
// the changed copies.
TEST_F(FirmwareWindow, FailedWritesKeepTheBackupFromBeforeTheFirst) {
    for (const char *flash : {"original", "changed once", "changed twice"}) {
        SCOPED_TRACE(flash);
        dialog->show();
        rig.processes.outcomes = {Probe, {1000, 0, partPath(), true, flash}, {9000, 1, {}}};
        clickFile("41200207.bin");
        ASSERT_TRUE(start());
        finish("KVT20v1.05\r\n");
        EXPECT_TRUE(messages().last().contains("The write failed"));
    }
    EXPECT_EQ(fileContent(heldPath()), QByteArray("original"));
    EXPECT_EQ(fileContent(backupPath()), QByteArray("changed twice"));
    EXPECT_EQ(fileContent(oldPath()), QByteArray("changed once"));

    // The window offers the held backup with its version.
    dialog->show();
    child<QComboBox>("fileTypeBox")->setCurrentIndex(1);
    clickFile("41200105-held.bkp");
    EXPECT_TRUE(writeEnabled());
    EXPECT_EQ(child<QLabel>("selectedVersionLabel")->text(), QStringLiteral("1.5"));
}

// Locked from "Yes" to the result, the checks included: Exit, Esc and the close control
// are refused (and so is the main window's, which asks updateRunning()); the end is
// reported once.
TEST_F(FirmwareWindow, LockedFromTheConfirmationToTheResult) {
    int ended = 0;
    QObject::connect(update_.get(), &FirmwareUpdate::updateEnded, update_.get(),
                     [&ended] { ++ended; });
    rig.processes.outcomes = {{3000, 0, {}}, {1000, 0, partPath()}, {9000, 0, {}}};
    clickFile("41200207.bin");
    rig.dialogs.yesNoAnswers = {true};
    QTest::mouseClick(child<QPushButton>("writeButton"), Qt::LeftButton);
    auto refused = [&] {
        QTest::keyClick(dialog, Qt::Key_Escape);
        return !dialog->close() && dialog->isVisible() && dialog->updateRunning() &&
               !child<QPushButton>("exitButton")->isEnabled();
    };
    rig.advance(1000, 100);
    EXPECT_FALSE(progressShown()) << "avrdude's quick run of the checks";
    EXPECT_TRUE(refused()) << "during the checks";
    rig.advance(5000, 100);
    EXPECT_TRUE(progressShown());
    EXPECT_TRUE(refused()) << "during the update";
    EXPECT_EQ(ended, 0);
    finish();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(ended, 1);

    // The next showing starts clean: a file must be chosen anew.
    dialog->show();
    EXPECT_FALSE(progressShown());
    EXPECT_FALSE(writeEnabled());
    EXPECT_TRUE(child<QPushButton>("exitButton")->isEnabled());
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
        // The identity line names the backup and reaches avrdude's -U argument.
        {"a version that climbs out of the backup folder",
         [&] { rig.record().firmwareVersion = QStringLiteral("../x"); },
         "firmware version \"../x\", which cannot name the backup", 0},
        {"a version with a colon", [&] { rig.record().firmwareVersion = QStringLiteral("1:5"); },
         "firmware version \"1:5\"", 0},
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
        rig.record().firmwareVersion = QStringLiteral("1.05");
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
        EXPECT_TRUE(QDir(rig.folder.path()).entryList({"*.bkp*"}).size() == 2);
        EXPECT_TRUE(rig.port.isOpen());
        EXPECT_EQ(rig.port.closeCount, 0);
        EXPECT_TRUE(polling.changes.empty());
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_FALSE(dialog->updateRunning());
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
    // Choosing the backups shows their folder, wherever the images were.
    child<QComboBox>("fileTypeBox")->setCurrentIndex(1);
    EXPECT_EQ(dialog->folder(), QDir(rig.folder.path()).absolutePath());
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
    rig.advance(4000, 100);
    ASSERT_EQ(rig.processes.started.size(), 3u);
    QString written = rig.processes.started[2].arguments.last();
    ASSERT_TRUE(written.startsWith("flash:w:") && written.endsWith(":i"));
    written = written.mid(8, written.size() - 10);
    EXPECT_NE(written, backupPath());
    const QByteArray memory = intelhex::read(fileContent(written), flash.size());
    EXPECT_EQ(memory.left(0x7800), flash.left(0x7800));
    EXPECT_EQ(memory.mid(0x7800), QByteArray(0x800, '\xff'));
    finish("KVT20v1.05\r\n");

    EXPECT_EQ(messages(), QStringList{"KVT Control Panel: " + Success});
    EXPECT_EQ(fileContent(oldPath()), chosen);
    EXPECT_EQ(fileContent(backupPath()), QByteArray(":00000001FF\n"));
    EXPECT_FALSE(QFile::exists(written)) << "the copy goes at the end";
}

// The backup of version "2.5" is 41200025.bkp (read as 0.25): written back, "2.5"
// announced is a success, and the backup held after a failed write is released.
TEST_F(FirmwareWindow, BackupOfAVersionNotShapedAsTwoDigitsEachIsJudgedByItsName) {
    for (const char *name : {"41200025.bkp", "41200025-held.bkp"})
        putFile(rig.folder.filePath(QLatin1String(name)), intelhex::write(0, "v2.5"));
    child<QComboBox>("fileTypeBox")->setCurrentIndex(1);
    clickFile("41200025.bkp");
    rig.processes.outcomes = {Probe, {1000, 0, partPath()}, {9000, 0, {}}};
    ASSERT_TRUE(start());
    finish("KVT20v2.5\r\n");
    EXPECT_EQ(messages(), QStringList{"KVT Control Panel: " + Success});
    EXPECT_EQ(QDir(rig.folder.path()).entryList({"41200025-*"}), QStringList{"41200025-kept.bkp"});
}

// Recovery of a generator that does not answer: the image's name is confirmed instead
// of the model test, there is no read-back, the write alone decides, and the line is
// left closed for discovery to start again.
TEST_F(FirmwareWindow, RecoveryConfirmsTheImageSkipsTheReadBackAndJudgesTheWriteAlone) {
    for (const int exitCode : {0, 1}) {
        SCOPED_TRACE(exitCode);
        rig.record().portNumber = 2;
        rig.instrument->link().closePort(); // discovery has given up: the line is closed
        rig.port.openResults[5] = 0;
        rig.dialogs.asked.clear();
        rig.processes.started.clear();
        polling.changes.clear();
        rig.processes.outcomes = {Probe, {9000, exitCode, {}}};
        rig.dialogs.yesNoAnswers = {true, true};
        // Taken back and handed over in one go (never seen open), then closed 2 s.
        std::vector<qint64> startedAt;
        rig.processes.onStart = [&] { startedAt.push_back(rig.clock.nowMs()); };
        bool seenOpen = false;
        rig.dialogs.modalActions.push_back([&](QDialog &) {
            EXPECT_TRUE(child<QLabel>("noteLabel")->text().contains("cannot be kept as a backup"));
            clickFile("41200207.bin");
            QTest::mouseClick(child<QPushButton>("writeButton"), Qt::LeftButton);
            for (int ms = 0; ms < 60000; ++ms, rig.advance(1))
                seenOpen = seenOpen || rig.port.isOpen();
        });
        EXPECT_EQ(dialog->recover(5), exitCode == 0);
        EXPECT_FALSE(seenOpen);
        EXPECT_EQ(rig.port.openAttempts.back(), 5) << "taken back before the hand-over";
        ASSERT_EQ(startedAt.size(), 2u);
        EXPECT_EQ(startedAt[1] - startedAt[0], 2000) << "the check's run ends at once";

        ASSERT_GE(rig.dialogs.asked.size(), 3u);
        EXPECT_EQ(rig.dialogs.asked[2].text,
                  QStringLiteral("The file 41200207.bin is firmware version 2.7 for the KVT 20. "
                                 "Write it to the generator on COM5 ?"));
        EXPECT_EQ(messages(),
                  QStringList{"KVT Control Panel: " +
                              (exitCode == 0 ? Success
                                             : Failure + "\n\nThe write failed: avrdude ended "
                                                         "with exit status 1.")});
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

} // namespace
