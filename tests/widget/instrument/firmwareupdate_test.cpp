// The firmware update without a window: a link on the fake port, the manual clock and
// played avrdude runs; its questions answered by a script. Each outcome, the stages it
// reports on the way, and the port lent and given back however the update ends.
#include "tests/support/fakes.h"

#include "instrument/firmwareupdate.h"
#include "instrument/polling.h"
#include "link/devicestate.h"
#include "link/link.h"
#include "link/procedure.h"
#include "tests/support/intelhex.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {

using Stage = FirmwareUpdate::Stage;
using Ending = FirmwareUpdate::Outcome;
using Played = FakeProcessStarter::Outcome;

class ScriptedAsker final : public FirmwareUpdate::Asker {
public:
    bool confirm(const QString &, const QString &question) override {
        asked << question;
        const bool yes = !answers.empty() && answers.front();
        if (!answers.empty())
            answers.pop_front();
        return yes;
    }
    std::deque<bool> answers;
    QStringList asked;
};

struct ProcedureRig {
    ProcedureRig() {
        state.portNumber = 2;
        state.bootloaderBaud = 57600;
        port.openResults[2] = 0;
        processes.time = &clock;
        services.port = &port;
        services.time = &clock;
        services.processes = &processes;
        services.programFolder = folder.path();
        services.settingsFolder = folder.path();
        services.backupFolder = folder.path();
        QFile avrdude(folder.filePath(QStringLiteral("avrdude")));
        if (avrdude.open(QIODevice::WriteOnly))
            avrdude.setPermissions(avrdude.permissions() | QFileDevice::ExeOwner);
        for (const char *name : {"41200207.bin", "41100300.bin"}) {
            QFile image(folder.filePath(QLatin1String(name)));
            if (image.open(QIODevice::WriteOnly))
                image.write(intelhex::write(0, QByteArray(5760, 'x'))); // written in 2 s
        }
        link.openPort();
        reply("KVT20v1.05\r\n");
        update = std::make_unique<FirmwareUpdate>(
            FirmwareUpdate::Context{state, link, polling, services});
        QObject::connect(update.get(), &FirmwareUpdate::progress, update.get(),
                         [this](Stage stage, int share) {
                             stages.push_back({stage, share});
                         });
        QObject::connect(update.get(), &FirmwareUpdate::finished, update.get(),
                         [this](const FirmwareUpdate::Result &r) { results.push_back(r); });
    }
    void reply(const QByteArray &bytes) {
        port.receive(bytes);
        clock.advance(0);
    }
    void start(const char *image, std::optional<int> recoveryPort = {}) {
        runProcedure(update->run({folder.filePath(QLatin1String(image)), recoveryPort}, asker),
                     [](const QString &what) { ADD_FAILURE() << what.toStdString(); });
    }
    // Runs to the result; `identity` arrives once the generator is awaited.
    void finish(const QByteArray &identity) {
        for (int i = 0; results.empty() && i < 4000; ++i) {
            clock.advance(100);
            if (!identity.isEmpty() && !stages.empty() &&
                stages.back().first == Stage::AwaitingGenerator && port.isOpen())
                reply(identity);
        }
    }
    QString partPath() const { return folder.filePath(QStringLiteral("41200105.bkp.part")); }

    QTemporaryDir folder;
    DeviceState state;
    ManualClock clock;
    FakeSerialPort port;
    FakeProcessStarter processes;
    RecordingPolling polling;
    ProgramServices services;
    Link link{state, port, clock};
    ScriptedAsker asker;
    std::vector<std::pair<Stage, int>> stages;
    std::vector<FirmwareUpdate::Result> results;
    std::unique_ptr<FirmwareUpdate> update; // made once the services are filled in
};

TEST(FirmwareProcedure, EndsInEachOutcomeWithThePortGivenBack) {
    const Played probe{0, 0, {}};
    struct Case {
        const char *name;
        const char *image;
        std::deque<bool> answers;
        std::vector<Played> runs;
        QByteArray identity;
        Ending outcome;
        bool portOpen; // at the end
    };
    const QString part = QStringLiteral("41200105.bkp.part");
    const std::vector<Case> cases{
        {"declined", "41200207.bin", {false}, {}, {}, Ending::Declined, true},
        {"another model", "41100300.bin", {true}, {}, {}, Ending::WrongModel, true},
        {"avrdude does not start",
         "41200207.bin",
         {true},
         {{0, 0, {}, false}},
         {},
         Ending::Refused,
         true},
        {"no backup", "41200207.bin", {true}, {probe, {1000, 1, {}}}, {}, Ending::Failed, true},
        {"written",
         "41200207.bin",
         {true},
         {probe, {1000, 0, part}, {9000, 0, {}}},
         "KVT20v2.07\r\n",
         Ending::Succeeded,
         true},
        {"silent after the write",
         "41200207.bin",
         {true},
         {probe, {1000, 0, part}, {9000, 0, {}}},
         {},
         Ending::GeneratorSilent,
         false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ProcedureRig rig;
        rig.asker.answers = c.answers;
        for (Played run : c.runs) {
            if (!run.writes.isEmpty())
                run.writes = rig.folder.filePath(run.writes);
            rig.processes.outcomes.push_back(run);
        }
        rig.start(c.image);
        rig.finish(c.identity);

        ASSERT_EQ(rig.results.size(), 1u);
        EXPECT_EQ(rig.results[0].outcome, c.outcome) << rig.results[0].text.toStdString();
        EXPECT_EQ(rig.port.isOpen(), c.portOpen);
        EXPECT_FALSE(rig.update->updateRunning());
        EXPECT_EQ(rig.update->holdsPort(), c.outcome == Ending::GeneratorSilent);
        if (c.outcome == Ending::Succeeded) {
            EXPECT_EQ(rig.results[0].text, QStringLiteral("New firmware successfully uploaded..."));
            const std::vector<std::pair<Stage, int>> expected{
                {Stage::Checking, 0},    {Stage::ResettingConnection, 0},
                {Stage::ReadingBack, 0}, {Stage::Preparing, 0},
                {Stage::Writing, 0},     {Stage::Writing, 18},
                {Stage::Writing, 34},    {Stage::Writing, 51},
                {Stage::Writing, 67},    {Stage::Writing, 82},
                {Stage::Writing, 100},   {Stage::AwaitingGenerator, 0},
            };
            EXPECT_EQ(rig.stages, expected) << "the read-back ends before its later shares";
            EXPECT_EQ(rig.polling.changes, (std::vector<bool>{false, true}));
        }
        if (c.outcome == Ending::GeneratorSilent) {
            // The recovery that follows is judged like an update; ended without a
            // write, the port goes back to the control link.
            rig.update->endRecovery(true);
            EXPECT_FALSE(rig.update->holdsPort());
            EXPECT_TRUE(rig.port.isOpen());
        }
    }
}

TEST(FirmwareProcedure, GoingAwayDuringTheWriteGivesThePortBack) {
    ProcedureRig rig;
    rig.asker.answers = {true};
    rig.processes.outcomes = {{0, 0, {}}, {1000, 0, rig.partPath()}, {-1, 0, {}}};
    rig.start("41200207.bin");
    rig.clock.advance(5000);
    ASSERT_EQ(rig.processes.started.size(), 3u);
    ASSERT_FALSE(rig.port.isOpen());
    rig.update.reset();
    EXPECT_TRUE(rig.port.isOpen());
}

} // namespace
