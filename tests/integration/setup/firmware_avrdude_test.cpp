// A firmware update as the program runs it, with the real avrdude against the
// simulated generator's bootloader on a pseudo-terminal: the backup holds the
// generator's flash, the write changes it, the update ends when the new firmware has
// announced its version, and the information panel then shows it.
//
// Time: everything runs on real time; each step of the update lasts as long as its
// avrdude run. The run times are printed against the whole update's.
#include "instrument/firmwarefiles.h"
#include "instrument/firmwareupdate.h"
#include "instrument/polling.h"
#include "instrument/processstarter.h"
#include "link/link.h"
#include "link/timesource.h"
#include "panel/lamp.h"
#include "setup/firmwareupdatedialog.h"
#include "sim/simulator.h"
#include "tests/support/intelhex.h"
#include "tests/support/manualclock.h"
#include "tests/support/simpanel.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

constexpr int FlashSize = 32 * 1024;

// The new image: the whole application area (the top 2 KiB hold the bootloader),
// announcing version 2.07, written into `folder` as 41200207.bin. Empty when it could
// not be written.
QByteArray writeImage207(const QTemporaryDir &folder) {
    QByteArray image(FlashSize - 2048, '\x5a');
    image.replace(0x40, 10, "KVTFW=2.07");
    QFile file(folder.filePath(QStringLiteral("41200207.bin")));
    if (!file.open(QIODevice::WriteOnly) || file.write(intelhex::write(0, image)) < 0)
        return {};
    return image;
}

// The real starter, with each run kept by the test too, so it can see when it ended
// and how long it took.
class WatchedStarter final : public ProcessStarter {
public:
    struct Run {
        std::shared_ptr<StartedProcess> process;
        QElapsedTimer since;
        qint64 tookMs = -1; // once it has ended
    };
    std::unique_ptr<StartedProcess> start(const QString &program,
                                          const QStringList &arguments) override {
        std::shared_ptr<StartedProcess> process = m_real.start(program, arguments);
        if (!process)
            return nullptr;
        runs.push_back(std::make_unique<Run>());
        Run &run = *runs.back();
        run.process = process;
        run.since.start();
        QObject::connect(process.get(), &StartedProcess::finished, process.get(),
                         [&run] { run.tookMs = run.since.elapsed(); });
        return std::make_unique<Shared>(process);
    }
    std::vector<std::unique_ptr<Run>> runs;

private:
    struct Shared final : StartedProcess {
        explicit Shared(std::shared_ptr<StartedProcess> p) : inner(std::move(p)) {
            connect(inner.get(), &StartedProcess::finished, this, [this] { Q_EMIT finished(); });
        }
        bool running() const override { return inner->running(); }
        std::optional<int> exitCode() const override { return inner->exitCode(); }
        void kill() override { inner->kill(); }
        std::shared_ptr<StartedProcess> inner;
    };
    QtProcessStarter m_real;
};

class FirmwareWithAvrdude : public SimulatedPanel, public testing::WithParamInterface<int> {
protected:
    void SetUp() override {
        if (FirmwareFiles::findAvrdude(QString()).isEmpty())
            GTEST_SKIP() << "avrdude is not installed";
        sim::SimConfig config;
        config.firmwareVersion = QStringLiteral("2.05");
        processStarter = &starter;
        ASSERT_NO_FATAL_FAILURE(startPanel(config, 3));

        // A known present firmware: a pattern that names its version.
        QByteArray present(FlashSize, '\0');
        for (int i = 0; i < FlashSize; ++i)
            present[i] = static_cast<char>((i * 7 + 3) & 0xff);
        present.replace(0x100, 10, "KVTFW=2.05");
        simulator->setFlash(present);
    }

    WatchedStarter starter;
    RecordingPolling polling;
};

// At the bootloader baud of the settings file: the usual 57600 and 1 bit/s, the slowest
// it takes (a pseudo-terminal has no line rate, so this shows the write's own time).
TEST_P(FirmwareWithAvrdude, BackupHoldsTheFlashAndTheWrittenVersionShowsInTheInfoPanel) {
    ASSERT_EQ(record().firmwareVersion, QStringLiteral("2.05"));
    record().bootloaderBaud = GetParam();
    const QByteArray before = simulator->flash();

    QTemporaryDir images;
    const QByteArray image = writeImage207(images);
    ASSERT_FALSE(image.isEmpty());

    Services services;
    services.port = port.get();
    services.time = &time;
    services.dialogs = &dialogs;
    services.processes = &starter;
    services.programFolder = dir.path();
    services.settingsFolder = dir.path();
    services.backupFolder = dir.path();
    services.today = [] { return QDate(2026, 12, 7); };
    FirmwareUpdate update(
        FirmwareUpdate::Context{instrument->state(), instrument->link(), polling, services});
    FirmwareUpdateDialog updateDialog(update, instrument->state(), dialogs, [] { return false; });
    updateDialog.setBackupFolder(services.backupFolder);
    updateDialog.showFolder(images.path());
    updateDialog.show();
    auto *files = updateDialog.findChild<QListWidget *>(QStringLiteral("fileList"));
    ASSERT_EQ(files->count(), 1);
    QTest::mouseClick(files->viewport(), Qt::LeftButton, {},
                      files->visualItemRect(files->item(0)).center());
    dialogs.yesNoAnswers = {true};
    QElapsedTimer whole;
    whole.start();
    QTest::mouseClick(updateDialog.findChild<QPushButton *>(QStringLiteral("writeButton")),
                      Qt::LeftButton);
    // The whole update runs by itself, each step ending with its avrdude run, and ends
    // once the new firmware has announced itself. A bound that holds on a loaded machine.
    ASSERT_TRUE(runUntil([&] { return !updateDialog.updateRunning(); }, 120000));
    const qint64 wholeMs = whole.elapsed();
    ASSERT_EQ(starter.runs.size(), 3u);
    std::printf("whole update %lld ms: avrdude -? %lld ms, read-back %lld ms, write %lld ms at "
                "%d bit/s\n",
                static_cast<long long>(wholeMs), static_cast<long long>(starter.runs[0]->tookMs),
                static_cast<long long>(starter.runs[1]->tookMs),
                static_cast<long long>(starter.runs[2]->tookMs), record().bootloaderBaud);

    ASSERT_FALSE(updateDialog.updateRunning());
    ASSERT_FALSE(dialogs.asked.empty());
    EXPECT_EQ(dialogs.asked.back().text, QStringLiteral("New firmware successfully uploaded..."));
    EXPECT_EQ(starter.runs[1]->process->exitCode(), 0);
    EXPECT_EQ(starter.runs[2]->process->exitCode(), 0);

    QFile backup(dir.filePath(QStringLiteral("41200205.bkp")));
    ASSERT_TRUE(backup.open(QIODevice::ReadOnly));
    EXPECT_EQ(intelhex::read(backup.readAll(), FlashSize), before)
        << "the backup is the flash as it was";
    const QByteArray after = simulator->flash();
    EXPECT_EQ(after.left(image.size()), image);
    EXPECT_EQ(after.mid(image.size()), before.mid(image.size())) << "-D: no chip erase";
    EXPECT_TRUE(port->isOpen()) << "the port is given back";
    EXPECT_EQ(polling.changes, (std::vector<bool>{false, true}));

    // The generator has booted its new firmware and identified itself; Info shows it.
    EXPECT_EQ(record().firmwareVersion, QStringLiteral("2.07"));
    QTest::mouseClick(ui(*window).infoButton, Qt::LeftButton);
    auto *shown = window->findChild<QLabel *>(QStringLiteral("firmwareValue"));
    ASSERT_TRUE(runUntil(
        [&] { return shown->isVisible() && shown->text() == QStringLiteral("2.07"); }, 10000));
    EXPECT_EQ(window->findChild<QLabel *>(QStringLiteral("serialValue"))->text(),
              QStringLiteral("TNV1234"));
}

INSTANTIATE_TEST_SUITE_P(Baud, FirmwareWithAvrdude, testing::Values(57600, 1));

// A generator whose update was interrupted: after every open only its bootloader
// answers. Discovery ends in the "KVT Connection" window; "Recover firmware..." there
// writes an image with the real avrdude to the port chosen, and discovery then finds
// the recovered generator on that port.
//
// Time: the simulator and avrdude run on real time, the program on a manual clock that
// the test moves on: as fast as real time where the generator must boot, ten times
// faster through the update's other waits, and not at all while avrdude runs.
TEST(FirmwareRecovery, FromTheConnectionWindowTheGeneratorIsWrittenAndFoundAgain) {
    if (FirmwareFiles::findAvrdude(QString()).isEmpty())
        GTEST_SKIP() << "avrdude is not installed";
    QTemporaryDir dir;
    ASSERT_TRUE(writeSettingsFile(dir.path(), 3));
    sim::SimConfig config;
    config.linkPath = dir.filePath(QStringLiteral("COM3"));
    config.brokenFirmware = true;
    sim::Simulator simulator(config);
    QString error;
    ASSERT_TRUE(simulator.start(&error)) << error.toStdString();

    QTemporaryDir images;
    const QByteArray image = writeImage207(images);
    ASSERT_FALSE(image.isEmpty());

    ManualClock clock;
    ScriptedDialogs dialogs;
    WatchedStarter starter;
    QtSerialPort port(std::make_shared<PortNames>(dir.path()));
    Services services;
    services.port = &port;
    services.time = &clock;
    services.dialogs = &dialogs;
    services.processes = &starter;
    services.programFolder = dir.path();
    services.settingsFolder = dir.path();
    services.backupFolder = dir.path();
    services.today = [] { return QDate(2026, 12, 7); };
    int quits = 0;
    services.quit = [&quits] { ++quits; };
    Instrument instrument(port, clock, dir.path(), services.quit);
    MainWindow window(instrument, services);
    bool loaded = false;
    QObject::connect(&window, &MainWindow::loaded, &window, [&loaded] { loaded = true; });

    auto avrdudeIdle = [&starter] {
        return std::none_of(
            starter.runs.begin(), starter.runs.end(),
            [](const std::unique_ptr<WatchedStarter::Run> &r) { return r->process->running(); });
    };
    // Moves the clock on by `stepMs` for every `realMs` of real time until `done`.
    auto pump = [&](const std::function<bool()> &done, int stepMs, int realMs, qint64 limitMs) {
        const qint64 end = clock.nowMs() + limitMs;
        while (!done() && clock.nowMs() < end) {
            if (!avrdudeIdle()) {
                runUntil(avrdudeIdle, 60000);
                continue;
            }
            runUntil(done, realMs);
            if (!done())
                clock.advance(stepMs);
        }
        return done();
    };

    QDialog *failureWindow = nullptr;
    bool recoveredAndHidden = false;
    dialogs.itemAnswers = {QStringLiteral("COM3")};
    dialogs.yesNoAnswers = {true, true}; // "Are You sure ?", then the image's model and version
    dialogs.modalActions.push_back([&](QDialog &failure) {
        failureWindow = &failure;
        auto *recover = failure.findChild<QPushButton *>(QStringLiteral("recoverButton"));
        ASSERT_NE(recover, nullptr);
        recover->click();
        recoveredAndHidden = !failure.isVisible();
    });
    dialogs.modalActions.push_back([&](QDialog &dialog) {
        auto &update = static_cast<FirmwareUpdateDialog &>(dialog);
        update.showFolder(images.path());
        auto *files = dialog.findChild<QListWidget *>(QStringLiteral("fileList"));
        ASSERT_EQ(files->count(), 1);
        QTest::mouseClick(files->viewport(), Qt::LeftButton, {},
                          files->visualItemRect(files->item(0)).center());
        QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("writeButton")),
                          Qt::LeftButton);
        EXPECT_TRUE(pump([&] { return !dialog.isVisible(); }, 100, 10, 200000));
    });

    window.start();
    // Until the recovery nothing answers, so discovery may run ten times faster; the
    // recovered generator then boots in real time.
    ASSERT_TRUE(pump([&] { return failureWindow || quits > 0; }, 100, 10, 120000));
    ASSERT_TRUE(pump([&] { return loaded || quits > 0; }, 10, 10, 120000));
    EXPECT_EQ(quits, 0);

    ASSERT_NE(failureWindow, nullptr);
    EXPECT_EQ(failureWindow->windowTitle(), QStringLiteral("KVT Connection"));
    EXPECT_TRUE(recoveredAndHidden) << "a good write ends the window: discovery starts again";
    // The question offered the ports found, by their names in the window's list.
    const auto asked = std::find_if(dialogs.asked.begin(), dialogs.asked.end(),
                                    [](const auto &a) { return a.kind == QLatin1String("item"); });
    ASSERT_NE(asked, dialogs.asked.end());
    EXPECT_TRUE(asked->choices.contains(QStringLiteral("COM3")));
    // No read-back: the only avrdude runs are the check's and the write.
    ASSERT_EQ(starter.runs.size(), 2u);
    EXPECT_EQ(starter.runs[1]->process->exitCode(), 0);
    EXPECT_EQ(simulator.flash().left(image.size()), image);
    EXPECT_TRUE(QDir(dir.path()).entryList({QStringLiteral("*.bkp")}).isEmpty());

    EXPECT_EQ(instrument.state().connected, 1);
    EXPECT_EQ(instrument.state().portNumber, 3);
    EXPECT_EQ(instrument.state().firmwareVersion, QStringLiteral("2.07"));
    EXPECT_TRUE(ui(window).readyLamp->isLit());
}

} // namespace
