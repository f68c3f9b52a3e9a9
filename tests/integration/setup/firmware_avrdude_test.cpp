// A firmware update as the program runs it, with the real avrdude against the
// simulated generator's bootloader on a pseudo-terminal: the backup holds the
// generator's flash, the write changes it, and the information panel then shows the
// version the new firmware announces.
//
// Time: the panel, the link and the simulator run on real time. The update window's
// own timetable (52 s) runs on a manual clock that the test moves on only once the
// avrdude run of that step has ended by itself, so every wait of the program is
// taken in full, in order, but none longer than the real work needs. The run times
// are printed against their shares of the timetable.
#include "link/link.h"
#include "link/polling.h"
#include "link/timesource.h"
#include "setup/firmwarefiles.h"
#include "setup/firmwarewindow.h"
#include "sim/simulator.h"
#include "tests/support/intelhex.h"
#include "tests/support/simpanel.h"

#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

constexpr int FlashSize = 32 * 1024;

// The real starter, with each run kept by the test too, so it can see when it ended.
class WatchedStarter final : public ProcessStarter {
public:
    struct Run {
        std::shared_ptr<StartedProcess> process;
        QElapsedTimer since;
    };
    std::unique_ptr<StartedProcess> start(const QString &program,
                                          const QStringList &arguments) override {
        std::shared_ptr<StartedProcess> process = m_real.start(program, arguments);
        if (!process)
            return nullptr;
        runs.push_back({process, {}});
        runs.back().since.start();
        return std::make_unique<Shared>(process);
    }
    std::vector<Run> runs;

private:
    struct Shared final : StartedProcess {
        explicit Shared(std::shared_ptr<StartedProcess> p) : inner(std::move(p)) {}
        bool running() const override { return inner->running(); }
        std::optional<int> exitCode() const override { return inner->exitCode(); }
        void kill() override { inner->kill(); }
        std::shared_ptr<StartedProcess> inner;
    };
    QtProcessStarter m_real;
};

class QuietPolling final : public Polling {
public:
    void setPollingEnabled(bool on) override { changes.push_back(on); }
    bool pollingEnabled() const override { return changes.empty() || changes.back(); }
    QCoro::Task<> readParams() override { co_return; }
    std::vector<bool> changes;
};

class FirmwareWithAvrdude : public SimulatedPanel {
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

    // Runs the event loop until the newest avrdude run has ended; its time in ms.
    qint64 awaitRun(std::size_t index, int shareMs) {
        EXPECT_TRUE(runUntil([&] { return starter.runs.size() > index; }, 1000));
        if (starter.runs.size() <= index)
            return -1;
        WatchedStarter::Run &run = starter.runs[index];
        EXPECT_TRUE(runUntil([&] { return !run.process->running(); }, shareMs))
            << "avrdude still runs after its share of " << shareMs << " ms";
        return run.since.elapsed();
    }

    WatchedStarter starter;
    ManualClock timetable;
    QuietPolling polling;
};

TEST_F(FirmwareWithAvrdude, BackupHoldsTheFlashAndTheWrittenVersionShowsInTheInfoPanel) {
    ASSERT_EQ(form->state().firmwareVersion, QStringLiteral("2.05"));
    const QByteArray before = simulator->flash();

    // The new image: the whole application area (the top 2 KiB hold the bootloader),
    // announcing version 2.07.
    QTemporaryDir images;
    QByteArray image(FlashSize - 2048, '\x5a');
    image.replace(0x40, 10, "KVTFW=2.07");
    QFile imageFile(images.filePath(QStringLiteral("41200207.bin")));
    ASSERT_TRUE(imageFile.open(QIODevice::WriteOnly));
    imageFile.write(intelhex::write(0, image));
    imageFile.close();

    Services services;
    services.port = port.get();
    services.time = &timetable;
    services.dialogs = &dialogs;
    services.processes = &starter;
    services.programFolder = dir.path();
    services.settingsFolder = dir.path();
    services.backupFolder = dir.path();
    services.today = [] { return QDate(2026, 12, 7); };
    FirmwareUpdateDialog window(form->state(), form->link(), polling, services);
    window.showFolder(images.path());
    window.show();
    auto *files = window.findChild<QListWidget *>(QStringLiteral("fileList"));
    ASSERT_EQ(files->count(), 1);
    QTest::mouseClick(files->viewport(), Qt::LeftButton, {},
                      files->visualItemRect(files->item(0)).center());
    dialogs.yesNoAnswers = {true};
    QTest::mouseClick(window.findChild<QPushButton *>(QStringLiteral("writeButton")),
                      Qt::LeftButton);
    ASSERT_TRUE(window.updateRunning());
    ASSERT_FALSE(port->isOpen());

    timetable.advance(2000); // "Resetting connection...", then the read-back starts
    const qint64 readBackMs = awaitRun(0, 20000);
    timetable.advance(20000); // to "Uploading...0%": the write starts
    const qint64 writeMs = awaitRun(1, 30000);
    timetable.advance(30000); // to the result
    std::printf("avrdude read-back %lld ms (share 20000 ms), write %lld ms (share 30000 ms)\n",
                static_cast<long long>(readBackMs), static_cast<long long>(writeMs));

    ASSERT_FALSE(window.updateRunning());
    ASSERT_FALSE(dialogs.asked.empty());
    EXPECT_EQ(dialogs.asked.back().text, QStringLiteral("New firmware successfully uploaded..."));
    ASSERT_EQ(starter.runs.size(), 2u);
    EXPECT_EQ(starter.runs[0].process->exitCode(), 0);
    EXPECT_EQ(starter.runs[1].process->exitCode(), 0);

    QFile backup(dir.filePath(QStringLiteral("41200205.bkp")));
    ASSERT_TRUE(backup.open(QIODevice::ReadOnly));
    EXPECT_EQ(intelhex::read(backup.readAll(), FlashSize), before)
        << "the backup is the flash as it was";
    const QByteArray after = simulator->flash();
    EXPECT_EQ(after.left(image.size()), image);
    EXPECT_EQ(after.mid(image.size()), before.mid(image.size())) << "-D: no chip erase";
    EXPECT_TRUE(port->isOpen()) << "the port is given back";
    EXPECT_EQ(polling.changes, (std::vector<bool>{false, true}));

    // The generator boots its new firmware and identifies itself; Info shows it.
    ASSERT_TRUE(runUntil([&] { return form->state().firmwareVersion == "2.07"; }, 5000));
    QTest::mouseClick(ui(*form).infoButton, Qt::LeftButton);
    auto *shown = form->findChild<QLabel *>(QStringLiteral("firmwareValue"));
    ASSERT_TRUE(runUntil(
        [&] { return shown->isVisible() && shown->text() == QStringLiteral("2.07"); }, 2000));
    EXPECT_EQ(form->findChild<QLabel *>(QStringLiteral("serialValue"))->text(),
              QStringLiteral("TNV1234"));
}

} // namespace
