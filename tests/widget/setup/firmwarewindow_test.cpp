// The firmware-update window: the file choice and its checks, the confirmation and the
// model test, the 52 s timetable with the two avrdude runs played on the manual clock,
// how their outcomes decide the result, and that the port and the poll always come
// back.
#include "tests/support/fakes.h"

#include "link/link.h"
#include "link/polling.h"
#include "setup/firmwarewindow.h"

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

class FirmwareWindow : public testing::Test {
protected:
    void SetUp() override {
        rig.connectOn(2, "KVT20v1.05\r\n");
        ASSERT_EQ(rig.form->state().modelName, QStringLiteral("KVT 20"));
        ASSERT_EQ(rig.form->state().bootloaderBaud, 57600);
        // An avrdude beside the program is the one started.
        QFile avrdude(rig.folder.filePath(QStringLiteral("avrdude")));
        ASSERT_TRUE(avrdude.open(QIODevice::WriteOnly));
        avrdude.setPermissions(avrdude.permissions() | QFileDevice::ExeOwner);
        for (const char *name : {"41200207.bin", "41100300.bin", "readme.bin", "41200105.txt"}) {
            QFile image(images.filePath(QLatin1String(name)));
            ASSERT_TRUE(image.open(QIODevice::WriteOnly));
        }

        Services services;
        services.port = &rig.port;
        services.time = &rig.clock;
        services.dialogs = &rig.dialogs;
        services.processes = &rig.processes;
        services.programFolder = rig.folder.path();
        services.today = [] { return QDate(2026, 12, 7); };
        services.quit = [] {};
        dialog = std::make_unique<FirmwareUpdateDialog>(rig.form->state(), rig.form->link(),
                                                        polling, services);
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
    // Chooses the image, confirms and lets the update run to its end.
    void update(const char *image = "41200207.bin") {
        clickFile(image);
        rig.dialogs.yesNoAnswers = {true};
        QTest::mouseClick(child<QPushButton>("writeButton"), Qt::LeftButton);
        rig.advance(60000, 100);
    }
    QString backupPath() const { return rig.folder.filePath(QStringLiteral("41200105.bkp")); }
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
    std::unique_ptr<FirmwareUpdateDialog> dialog;
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
        rig.form->state().modelName = QString::fromUtf8(c.model);
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
    rig.processes.outcomes = {{1500, 0, backupPath()}, {9000, 0, {}}};

    clickFile("41200207.bin");
    rig.dialogs.yesNoAnswers = {true};
    rig.port.takeLines();
    const qint64 t0 = rig.clock.nowMs();
    QTest::mouseClick(child<QPushButton>("writeButton"), Qt::LeftButton);
    EXPECT_TRUE(child<QFrame>("progressPanel")->isVisible());
    EXPECT_EQ(child<QFrame>("progressPanel")->geometry(), dialog->rect());
    EXPECT_FALSE(rig.port.isOpen());
    EXPECT_EQ(polling.changes, std::vector<bool>{false});

    // Every change of the progress text, with its time from the click.
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
              common + QStringList({"-b", "57600", "-D", "-U", "flash:r:" + backupPath() + ":i"}));
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

// What avrdude did decides the result; a run past its share is ended.
TEST_F(FirmwareWindow, ResultNeedsTheBackupAndAWriteThatEndedWell) {
    using Outcome = FakeProcessStarter::Outcome;
    struct Case {
        const char *name;
        Outcome readBack;
        Outcome write;
        const char *result;
        qint64 readBackKilledAt; // from the click; -1: not killed
        qint64 writeKilledAt;
    };
    const QString k = backupPath();
    const Case cases[] = {
        {"both succeed", {1000, 0, k}, {9000, 0, {}}, "success", -1, -1},
        {"read-back just within its 20 s", {19999, 0, k}, {1000, 0, {}}, "success", -1, -1},
        {"write just within its 30 s", {1000, 0, k}, {29999, 0, {}}, "success", -1, -1},
        {"no generator answers the read-back", {1000, 1, {}}, {1000, 1, {}}, "error", -1, -1},
        {"write fails after a good read-back", {1000, 0, k}, {9000, 1, {}}, "error", -1, -1},
        {"read-back hangs", {-1, 0, k}, {1000, 0, {}}, "error", 22000, -1},
        {"write hangs", {1000, 0, k}, {-1, 0, {}}, "error", -1, 52000},
        {"write cannot start", {1000, 0, k}, {0, 0, {}, false}, "error", -1, -1},
        {"avrdude cannot start at all", {0, 0, {}, false}, {0, 0, {}, false}, "error", -1, -1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(k);
        dialog->show();
        rig.dialogs.asked.clear();
        rig.processes.started.clear();
        polling.changes.clear();
        rig.processes.outcomes = {c.readBack, c.write};
        const qint64 t0 = rig.clock.nowMs();
        update();

        EXPECT_EQ(messages(),
                  QStringList{"KVT Control Panel: " +
                              (c.result == std::string("success") ? Success : Failure)});
        ASSERT_EQ(rig.processes.started.size(), 2u);
        EXPECT_EQ(rig.processes.started[0].killedAt,
                  c.readBackKilledAt < 0 ? -1 : t0 + c.readBackKilledAt);
        EXPECT_EQ(rig.processes.started[1].killedAt,
                  c.writeKilledAt < 0 ? -1 : t0 + c.writeKilledAt);
        EXPECT_TRUE(rig.port.isOpen());
        EXPECT_EQ(rig.port.openAttempts.back(), 2);
        EXPECT_EQ(polling.changes, (std::vector<bool>{false, true}));
        EXPECT_FALSE(dialog->isVisible());
    }
}

TEST_F(FirmwareWindow, APortThatCannotBeOpenedAfterTheUpdateIsTriedAgainAsAfterAnUnplug) {
    clickFile("41200207.bin");
    rig.dialogs.yesNoAnswers = {true};
    QTest::mouseClick(child<QPushButton>("writeButton"), Qt::LeftButton);
    rig.port.openResults[2] = SerialPort::InvalidPort; // the adapter went during the update
    rig.advance(55000, 100);
    ASSERT_FALSE(dialog->updateRunning());
    EXPECT_FALSE(rig.port.isOpen());
    EXPECT_FALSE(ui(*rig.form).readyLamp->isLit());
    EXPECT_FALSE(ui(*rig.form).infoButton->isEnabled());

    rig.port.openResults[2] = 0;
    rig.advance(1600, 100);
    ASSERT_TRUE(rig.port.isOpen());
    rig.reply("KVT20v2.07\r\n");
    EXPECT_TRUE(ui(*rig.form).readyLamp->isLit());
    EXPECT_TRUE(ui(*rig.form).infoButton->isEnabled());
    EXPECT_EQ(rig.form->state().firmwareVersion, QStringLiteral("2.07"));
}

TEST_F(FirmwareWindow, TheRetriesOfALostPortLeaveItToTheUploaderWhileTheUpdateRuns) {
    rig.port.openResults[2] = SerialPort::InvalidPort;
    rig.port.unplug(); // lost with the window open; the retries run
    clickFile("41200207.bin");
    rig.dialogs.yesNoAnswers = {true};
    QTest::mouseClick(child<QPushButton>("writeButton"), Qt::LeftButton);
    rig.port.openResults[2] = 0; // back, and avrdude uses it
    bool closedThroughout = true;
    while (dialog->updateRunning()) {
        rig.advance(100);
        if (dialog->updateRunning())
            closedThroughout = closedThroughout && !rig.port.isOpen();
    }
    EXPECT_TRUE(closedThroughout);
    EXPECT_TRUE(rig.port.isOpen()) << "taken back when the update has ended";
    rig.reply("KVT20v2.07\r\n");
    EXPECT_TRUE(ui(*rig.form).readyLamp->isLit());
}

TEST_F(FirmwareWindow, CannotBeClosedWhileTheUpdateRuns) {
    clickFile("41200207.bin");
    rig.dialogs.yesNoAnswers = {true};
    QTest::mouseClick(child<QPushButton>("writeButton"), Qt::LeftButton);
    rig.advance(10000, 100);
    EXPECT_FALSE(dialog->close());
    QTest::keyClick(dialog.get(), Qt::Key_Escape);
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
