// A whole firmware update through the program (the checks, the read-back, the write,
// the port taken back and the new firmware's identity line) with the real avrdude
// against the in-process simulator's bootloader over a pseudo-terminal, timed against
// avrdude's own time for the same read-back and write, in the same run.
//
//   firmware_bench [runs]   (default 3)
//
// Per run it prints the program's time from the confirmation to the result, avrdude's
// runs (its quick check, the read-back, the write), the wait for the identity line
// after the write (the simulated generator's bootloader window and boot time, named
// apart), and what is left: the program's own cost between the runs.
#include "instrument/firmwarefiles.h"
#include "instrument/firmwareupdate.h"
#include "instrument/polling.h"
#include "instrument/processstarter.h"
#include "link/link.h"
#include "panel/mainwindow.h"
#include "setup/firmwareupdatedialog.h"
#include "sim/simulator.h"
#include "tests/support/intelhex.h"
#include "tests/support/simpanel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr int FlashSize = 32 * 1024;

// The real starter, timing each run from its start to its finished signal.
class TimedStarter final : public ProcessStarter {
public:
    std::unique_ptr<StartedProcess> start(const QString &program,
                                          const QStringList &arguments) override {
        std::unique_ptr<StartedProcess> process = m_real.start(program, arguments);
        if (!process)
            return nullptr;
        auto since = std::make_shared<QElapsedTimer>();
        since->start();
        const std::size_t index = tookMs.size();
        tookMs.push_back(-1);
        endedAt.push_back(-1);
        QObject::connect(process.get(), &StartedProcess::finished, process.get(),
                         [this, since, index] {
                             tookMs[index] = since->elapsed();
                             endedAt[index] = clock.elapsed();
                         });
        return process;
    }
    std::vector<qint64> tookMs;
    std::vector<qint64> endedAt; // on `clock`
    QElapsedTimer clock;

private:
    QtProcessStarter m_real;
};

class QuietPolling final : public Polling {
public:
    void setPollingEnabled(bool on) override { m_on = on; }
    bool pollingEnabled() const override { return m_on; }
    void setPollingHeld(bool) override {}
    QCoro::Task<> readParams() override { co_return; }

private:
    bool m_on = true;
};

} // namespace

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 3;
    if (FirmwareFiles::findAvrdude(QString()).isEmpty()) {
        std::fprintf(stderr, "avrdude is not installed\n");
        return 1;
    }

    TimedStarter starter;
    SimulatedPanelRig rig;
    rig.processStarter = &starter;
    sim::SimConfig config;
    QString error;
    if (!rig.startPanel(config, 3, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    MainWindow &window = *rig.window;

    // A full image announcing version 2.07: the whole application area.
    QTemporaryDir images;
    QByteArray image(FlashSize - 2048, '\x5a');
    image.replace(0x40, 10, "KVTFW=2.07");
    QFile file(images.filePath(QStringLiteral("41200207.bin")));
    if (!file.open(QIODevice::WriteOnly) || file.write(intelhex::write(0, image)) < 0)
        return 1;
    file.close();

    Services services;
    services.port = rig.port.get();
    services.time = &rig.time;
    services.dialogs = &rig.dialogs;
    services.processes = &starter;
    services.programFolder = rig.dir.path();
    services.settingsFolder = rig.dir.path();
    services.backupFolder = rig.dir.path();
    services.today = [] { return QDate(2026, 12, 7); };
    QuietPolling polling;
    FirmwareUpdate update(FirmwareUpdate::Context{rig.instrument->state(), rig.instrument->link(),
                                                  polling, services});
    FirmwareUpdateDialog dialog(update, rig.instrument->state(), rig.dialogs, [] { return false; });
    dialog.setBackupFolder(services.backupFolder);

    // The identity line after the write, on the same clock as the runs' ends.
    qint64 identityAt = -1;
    QObject::connect(&rig.instrument->link(), &Link::replyHandled, &window,
                     [&](const ReplyEffects &effects) {
                         if (effects.kind == ReplyEffects::Kind::Identity)
                             identityAt = starter.clock.elapsed();
                     });

    std::printf("firmware update of a %lld-byte image at 57600 bit/s against the simulator "
                "(pseudo-terminal, avrdude's own pace)\n",
                static_cast<long long>(image.size()));
    int failures = 0;
    for (int run = 1; run <= runs; ++run) {
        starter.tookMs.clear();
        starter.endedAt.clear();
        identityAt = -1;
        dialog.showFolder(images.path());
        dialog.show();
        auto *files = dialog.findChild<QListWidget *>(QStringLiteral("fileList"));
        files->setCurrentRow(0);
        Q_EMIT files->itemClicked(files->item(0));
        rig.dialogs.asked.clear();
        rig.dialogs.yesNoAnswers = {true};
        starter.clock.start();
        dialog.findChild<QPushButton *>(QStringLiteral("writeButton"))->click();
        const bool ended = runUntil([&] { return !update.updateRunning(); }, 180000);
        const qint64 wholeMs = starter.clock.elapsed();
        const bool success = ended && !rig.dialogs.asked.empty() &&
                             rig.dialogs.asked.back().text ==
                                 QStringLiteral("New firmware successfully uploaded...");
        if (!success || starter.tookMs.size() != 3) {
            std::printf("run %d: the update did not succeed: %s\n", run,
                        rig.dialogs.asked.empty() ? "no result"
                                                  : qPrintable(rig.dialogs.asked.back().text));
            ++failures;
            continue;
        }
        const qint64 readMs = starter.tookMs[1];
        const qint64 writeMs = starter.tookMs[2];
        const qint64 identityMs = identityAt - starter.endedAt[2];
        const qint64 ownMs = wholeMs - starter.tookMs[0] - readMs - writeMs - identityMs;
        std::printf("run %d: program %5lld ms | avrdude -? %4lld ms, read-back %5lld ms, write "
                    "%5lld ms (read-back + write %5lld ms) | identity after the write %5lld ms | "
                    "program's own %4lld ms\n",
                    run, static_cast<long long>(wholeMs), static_cast<long long>(starter.tookMs[0]),
                    static_cast<long long>(readMs), static_cast<long long>(writeMs),
                    static_cast<long long>(readMs + writeMs), static_cast<long long>(identityMs),
                    static_cast<long long>(ownMs));
    }
    dialog.hide();
    rig.stopPanel();
    return failures == 0 ? 0 : 1;
}
