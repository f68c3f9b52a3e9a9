#include "instrument/firmwareupdate.h"

#include "instrument/firmwarefiles.h"
#include "instrument/polling.h"
#include "instrument/processstarter.h"
#include "instrument/programservices.h"
#include "link/devicestate.h"
#include "link/link.h"
#include "link/serialport.h"
#include "link/timesource.h"
#include "link/waits.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryFile>

#include <algorithm>

namespace {
const QString ProgramTitle = QStringLiteral("KVT Control Panel");
const QString ErrorTitle = QStringLiteral("Error");
const QString Success = QStringLiteral("New firmware successfully uploaded...");
const QString Failure = QStringLiteral("Error with upload !");

// Indices into progressTexts() shown apart from the runs' shares.
constexpr int ResettingText = 0; // while the port is lent
constexpr int PreparingText = 4; // between the read-back and the write
constexpr int UploadedText = 11; // the write has ended well (Writing at 100 %)

// The read-back always runs at this rate.
constexpr int ReadBackBaud = 57600;

QString joined(const QString &text, const QString &more) {
    return more.isEmpty() ? text : text + QStringLiteral("\n\n") + more;
}
} // namespace

// What one update works with, fixed by its checks.
struct FirmwareUpdate::Plan {
    bool recovery = false;
    bool verify = true; // the write is judged by the generator's identity after it
    int portNumber = 0;
    QString avrdude;
    QString image;        // the chosen file
    QString toWrite;      // what avrdude writes: the image, or a backup's trimmed copy
    QString copy;         // that copy, removed at the end; empty for an image
    qint64 dataBytes = 0; // what the write moves (and verifies)
    QString backupName;   // K; empty when recovering
    QString readBack;     // where the read-back goes until it has ended well
    QString device;       // the port's system name, for avrdude

    bool backupKept = false;   // this run's read-back became K
    bool recoverAfter = false; // the generator did not answer: its recovery follows
};

// How one avrdude run ended.
struct FirmwareUpdate::Run {
    bool started = false;
    bool killed = false; // outlived its predicted time by OvertimeMs
    std::optional<int> exitCode;
    qint64 boundMs = 0; // the time it was given before it was killed
    bool ok() const { return exitCode == 0; }
};

const QStringList &FirmwareUpdate::progressTexts() {
    static const QStringList texts{
        QStringLiteral("Resetting connection..."),
        QStringLiteral("Erasing and checking device memory..."),
        QStringLiteral("Set device registers..."),
        QStringLiteral("Saving old configuration..."),
        QStringLiteral("Preparing upload package..."),
        QStringLiteral("Uploading...0%"),
        QStringLiteral("Uploading...18%"),
        QStringLiteral("Uploading...34%"),
        QStringLiteral("Uploading...51%"),
        QStringLiteral("Uploading...67%"),
        QStringLiteral("Uploading...82%"),
        QStringLiteral("Uploading..100%"),
    };
    return texts;
}

// The read-back's three texts divide it as a fixed timetable of 52 s once divided its
// 12 s (6, 2 and 4 s); each upload text stands from its own percentage on.
const std::vector<std::pair<int, int>> &FirmwareUpdate::readBackShares() {
    static const std::vector<std::pair<int, int>> shares{{0, 1}, {50, 2}, {67, 3}};
    return shares;
}

const std::vector<std::pair<int, int>> &FirmwareUpdate::writeShares() {
    static const std::vector<std::pair<int, int>> shares{{0, 5},  {18, 6}, {34, 7},
                                                         {51, 8}, {67, 9}, {82, 10}};
    return shares;
}

QString FirmwareUpdate::waitingText() {
    return tr("Waiting for the generator to start...");
}

QString FirmwareUpdate::progressText(Stage stage, int share) {
    auto at = [share](const std::vector<std::pair<int, int>> &shares) {
        int text = shares.front().second;
        for (const auto &[from, index] : shares)
            if (share >= from)
                text = index;
        return progressTexts().at(text);
    };
    switch (stage) {
    case Stage::Checking:
        break;
    case Stage::ResettingConnection:
        return progressTexts().at(ResettingText);
    case Stage::ReadingBack:
        return at(readBackShares());
    case Stage::Preparing:
        return progressTexts().at(PreparingText);
    case Stage::Writing:
        return share >= 100 ? progressTexts().at(UploadedText) : at(writeShares());
    case Stage::AwaitingGenerator:
        return waitingText();
    }
    return {};
}

QString FirmwareUpdate::recoveryNote(int portNumber, bool afterWrite) {
    if (afterWrite)
        return tr("Recovery of the generator on COM%1: it does not answer after the "
                  "write. Choose the image (or a backup) to write again; no backup is "
                  "made.")
            .arg(portNumber);
    return tr("Recovery of the generator on COM%1: it does not answer, so its present "
              "firmware cannot be kept as a backup. Choose the image to write.")
        .arg(portNumber);
}

FirmwareUpdate::FirmwareUpdate(Context context, QObject *parent)
    : QObject(parent), m_context(context),
      m_waits(std::make_unique<WaitSet>(*context.services.time)) {
    setObjectName(QStringLiteral("firmwareUpdate"));
}

FirmwareUpdate::~FirmwareUpdate() {
    // An update still waiting ends here, ending its avrdude with it and giving its port
    // back; a port kept for a recovery stays as it is, as the program is going away.
    m_waits->cancelAll();
    if (m_wakeTimer != 0)
        m_context.services.time->cancel(m_wakeTimer);
    m_heldPort.keepClosed();
}

void FirmwareUpdate::endRecovery(bool giveBack) {
    if (!m_heldPort.active())
        return;
    if (!giveBack) {
        m_heldPort.keepClosed();
        return;
    }
    // The line connects again as soon as the generator answers there.
    if (m_heldPort.giveBack() != SerialPort::NoError)
        m_context.link.portGone();
}

void FirmwareUpdate::wakeSoon() {
    if (m_wakeTimer != 0)
        return;
    m_wakeTimer = m_context.services.time->schedule(0, [this] {
        m_wakeTimer = 0;
        m_waits->wakeAll();
    });
}

QCoro::Task<bool> FirmwareUpdate::waitForEnd(StartedProcess &process, int ms) {
    TimeSource &time = *m_context.services.time;
    const QMetaObject::Connection ended =
        connect(&process, &StartedProcess::finished, this, &FirmwareUpdate::wakeSoon);
    const auto forget = qScopeGuard([ended] { QObject::disconnect(ended); });
    const qint64 until = time.nowMs() + ms;
    while (process.running() && time.nowMs() < until) {
        co_await m_waits->wait(static_cast<int>(until - time.nowMs()));
    }
    co_return !process.running();
}

QCoro::Task<> FirmwareUpdate::pause(int ms) {
    TimeSource &time = *m_context.services.time;
    // The waits also end when a process of the update ends; this one lasts its time.
    const qint64 until = time.nowMs() + ms;
    while (time.nowMs() < until)
        co_await m_waits->wait(static_cast<int>(until - time.nowMs()));
}

QCoro::Task<FirmwareUpdate::Run>
FirmwareUpdate::runAvrdude(const Plan &plan, const QStringList &arguments, qint64 predictedMs,
                           Stage stage, const std::vector<std::pair<int, int>> &shares) {
    TimeSource &time = *m_context.services.time;
    Run run;
    run.boundMs = predictedMs + OvertimeMs;
    std::unique_ptr<StartedProcess> process =
        m_context.services.processes->start(plan.avrdude, arguments);
    if (!process)
        co_return run;
    run.started = true;
    const QMetaObject::Connection ended =
        connect(process.get(), &StartedProcess::finished, this, &FirmwareUpdate::wakeSoon);
    const auto forget = qScopeGuard([ended] { QObject::disconnect(ended); });
    const qint64 start = time.nowMs();
    auto shownFrom = [&](std::size_t i) { return start + shares[i].first * predictedMs / 100; };
    std::size_t next = 0;
    for (;;) {
        const qint64 now = time.nowMs();
        // Each text once its share of the predicted time has passed; a run that ends
        // early skips the rest, one that takes longer holds its last text.
        while (next < shares.size() && now >= shownFrom(next)) {
            Q_EMIT progress(stage, shares[next].first);
            ++next;
        }
        if (!process->running())
            break;
        if (now >= start + run.boundMs) {
            process->kill();
            run.killed = true;
            break;
        }
        qint64 until = start + run.boundMs;
        if (next < shares.size())
            until = std::min(until, shownFrom(next));
        co_await m_waits->wait(static_cast<int>(until - now));
    }
    run.exitCode = process->exitCode();
    co_return run;
}

QCoro::Task<bool> FirmwareUpdate::awaitIdentity(int ms) {
    const QMetaObject::Connection heard =
        connect(&m_context.link, &Link::replyHandled, this, [this](const ReplyEffects &effects) {
            if (effects.kind == ReplyEffects::Kind::Identity)
                wakeSoon();
        });
    const auto forget = qScopeGuard([heard] { QObject::disconnect(heard); });
    co_return co_await m_context.link.awaitIdentity(*m_waits, ms);
}

QCoro::Task<std::optional<QString>> FirmwareUpdate::check(Plan &plan) {
    const ProgramServices &services = m_context.services;
    const DeviceState &state = m_context.state;

    if (!plan.recovery) {
        // The identity line's characters name the backup and reach avrdude's arguments.
        plan.backupName = FirmwareFiles::backupName(state.modelName, state.firmwareVersion);
        if (!FirmwareFiles::isUsableBackupName(plan.backupName))
            co_return tr("The generator announces itself as \"%1\" with firmware version "
                         "\"%2\", which cannot name the backup of its firmware. Nothing was "
                         "changed.")
                .arg(state.modelName, state.firmwareVersion);
    }

    plan.avrdude = FirmwareFiles::findAvrdude(services.programFolder);
    if (plan.avrdude.isEmpty()) {
#ifdef Q_OS_WIN
        co_return tr("avrdude, which writes the firmware, was not found beside this program or on "
                     "the PATH. Place avrdude.exe beside this program and try again.");
#else
        co_return tr("avrdude, which writes the firmware, was not found beside this program or on "
                     "the PATH. Install it (sudo apt install avrdude) and try again.");
#endif
    }
    // A quick run shows that it actually starts (a broken copy or missing library
    // would only show after the backups had been rotated).
    std::unique_ptr<StartedProcess> probe =
        services.processes->start(plan.avrdude, {QStringLiteral("-?")});
    bool probed = false;
    if (probe) {
        probed = co_await waitForEnd(*probe, ProbeMs);
    }
    if (!probed || !probe->exitCode()) {
        if (probe)
            probe->kill();
        co_return tr("avrdude (%1) does not start or does not end. Install it again (sudo apt "
                     "install avrdude) and try again.")
            .arg(QDir::toNativeSeparators(plan.avrdude));
    }

    const QString fileName = QFileInfo(plan.image).fileName();
    QFile file(plan.image);
    if (file.size() > FirmwareFiles::LargestImageFile)
        co_return tr("The file %1 is too large to be firmware of this generator. Choose another "
                     "file.")
            .arg(fileName);
    if (!file.open(QIODevice::ReadOnly))
        co_return tr("The file %1 cannot be read: %2.").arg(fileName, file.errorString());
    const bool backup = FirmwareFiles::isBackupName(fileName);
    const FirmwareFiles::ImageCheck image =
        FirmwareFiles::checkImage(file.read(FirmwareFiles::LargestImageFile), backup);
    using Fault = FirmwareFiles::ImageCheck::Fault;
    QString fault;
    switch (image.fault) {
    case Fault::None:
        break;
    case Fault::NotARecord:
        fault = tr("line %1 is not an Intel HEX record").arg(image.line);
        break;
    case Fault::Checksum:
        fault = tr("line %1 has a wrong checksum").arg(image.line);
        break;
    case Fault::UnknownRecord:
        fault = tr("line %1 is a record of an unknown type").arg(image.line);
        break;
    case Fault::InBootSection:
        fault = tr("line %1 holds data at 0x%2, in the bootloader's section (from 0x7800)")
                    .arg(image.line)
                    .arg(image.address, 4, 16, QLatin1Char('0'));
        break;
    case Fault::NoEndRecord:
        fault = tr("its end record is missing (the file may be cut short)");
        break;
    case Fault::NoData:
        fault = tr("it holds no data below 0x7800");
        break;
    }
    if (!image.ok())
        co_return tr("The file %1 cannot be written: %2. Choose another file.")
            .arg(fileName, fault);
    plan.dataBytes = image.dataBytes;

    // The backups go there; a folder that takes no file would cost the backup only
    // after the generator's firmware is already being replaced.
    const QString folder = services.backupFolder;
    const QString refusedFolder =
        tr("The folder for the firmware backups, %1, is not writable. Make it writable, then "
           "try again.")
            .arg(QDir::toNativeSeparators(folder));
    // The packaged program keeps them in the user's data folder, made when first needed.
    QDir().mkpath(folder);
    {
        QTemporaryFile probeFile(QDir(folder).filePath(QStringLiteral("kvt-write-test")));
        if (!probeFile.open())
            co_return refusedFolder;
        probeFile.close();
        if (!probeFile.remove())
            co_return refusedFolder;
    }

    plan.toWrite = plan.image;
    if (backup) {
        // Only the data below the bootloader goes back, from a copy of its own: the
        // read-back of this run may take the backup's name (and rotate oldback.bkp).
        plan.copy = QDir(folder).filePath(FirmwareFiles::writeCopyName(fileName));
        QFile copy(plan.copy);
        if (!copy.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            copy.write(image.trimmed) != image.trimmed.size() || !copy.flush()) {
            copy.remove();
            plan.copy.clear();
            co_return refusedFolder;
        }
        plan.toWrite = plan.copy;
    }
    co_return std::nullopt;
}

QString FirmwareUpdate::runFailure(const Run &run) {
    if (!run.started)
        return tr("avrdude could not be started");
    if (run.killed)
        return tr("avrdude did not end within %1 s and was stopped").arg(run.boundMs / 1000);
    if (!run.exitCode)
        return tr("avrdude ended abnormally");
    return tr("avrdude ended with exit status %1").arg(*run.exitCode);
}

QCoro::Task<> FirmwareUpdate::run(Request request, Asker &asker) {
    if (m_busy)
        co_return;
    m_busy = true;
    // However the update ends short of its result (the program going away, a fault of
    // the program's own), it is no longer busy.
    struct Idle {
        FirmwareUpdate &update;
        bool armed = true;
        ~Idle() {
            if (armed)
                update.m_busy = update.m_working = false;
        }
    } idle{*this};
    const Result result = co_await update(request, asker);
    idle.armed = false;
    // The work (from the answered questions to the result) has ended, or never began:
    // the program may end from here on, and a request to end that waited for the work
    // is served before any result is shown.
    m_working = false;
    Q_EMIT updateEnded();
    m_busy = false;
    Q_EMIT finished(result);
}

QCoro::Task<FirmwareUpdate::Result> FirmwareUpdate::update(const Request &request, Asker &asker) {
    Link &link = m_context.link;
    const ProgramServices &services = m_context.services;
    const QString fileName = QFileInfo(request.image).fileName();
    auto told = [](const QString &text) {
        return Result{text == Success ? Outcome::Succeeded : Outcome::Failed, ProgramTitle, text};
    };
    auto refused = [](const QString &text) { return Result{Outcome::Refused, ErrorTitle, text}; };

    if (!asker.confirm(
            QStringLiteral("Write"),
            QStringLiteral("Write new firmware binary file to Your device. Are You sure ?")))
        co_return Result{};
    Plan plan;
    plan.recovery = request.recoveryPort.has_value();
    // A recovery of the port kept after a silent write is judged like an update.
    plan.verify =
        !plan.recovery || (m_heldPort.active() && m_heldPort.portNumber() == *request.recoveryPort);
    plan.portNumber = plan.recovery ? *request.recoveryPort : m_context.state.portNumber;
    plan.image = request.image;
    if (plan.recovery) {
        // No identity to compare with: the user confirms what the name says.
        const QString question =
            tr("The file %1 is firmware version %2 for the KVT %3. Write it to the generator "
               "on COM%4 ?")
                .arg(fileName, FirmwareFiles::shownVersion(fileName), fileName.mid(2, 2))
                .arg(plan.portNumber);
        if (!asker.confirm(QStringLiteral("Write"), question))
            co_return Result{};
    } else if (!FirmwareFiles::madeForModel(fileName, m_context.state.modelName)) {
        co_return Result{Outcome::WrongModel, ErrorTitle,
                         QStringLiteral("This binary file is build for another version of KVT !")};
    }

    // Only now is the update under way: until the questions are answered, a request to
    // end the program answers them No and ends it at once.
    m_working = true;
    Q_EMIT progress(Stage::Checking, 0);
    const std::optional<QString> refusal = co_await check(plan);
    if (refusal)
        co_return refused(*refusal);

    // avrdude has the device until the loan ends; nothing else (the retries after a
    // lost line) opens it meanwhile.
    PortLoan loan;
    if (plan.recovery) {
        // The port is found by its number the way the control link finds it (the
        // retries of a lost line may hold it open). lendPort takes it back and lends it
        // in one go: nothing may wait between the two, since while the control link has
        // the port open its reader would take what the bootloader says after the open's
        // reset, and the retries of a lost line would count the port as theirs. The
        // reset pause comes after the loan, with the port closed.
        int error = SerialPort::NoError;
        loan = link.lendPort(plan.portNumber, error);
        if (!loan.active()) {
            if (!plan.copy.isEmpty())
                QFile::remove(plan.copy);
            co_return refused(
                tr("COM%1 cannot be opened: %2.").arg(plan.portNumber).arg(portError(error)));
        }
        // The port kept after a silent write is this loan's now.
        m_heldPort.keepClosed();
    }

    Q_EMIT progress(Stage::ResettingConnection, 0);
    if (!plan.recovery) {
        m_context.polling.setPollingEnabled(false);
        loan = link.lendPort();
    }
    // avrdude opens the device the control link had open, by its system name.
    plan.device = loan.device();
    // The bootloader starts from the reset that the modem lines give as avrdude opens
    // the port; opened again at once after the close, an adapter may give no edge.
    co_await pause(ResetPauseMs);

    QString text;
    if (!plan.recovery) {
        plan.readBack =
            QDir(services.backupFolder).filePath(FirmwareFiles::readBackName(plan.backupName));
        QFile::remove(plan.readBack); // a leftover of an earlier, interrupted run
        const Run readBack =
            co_await runAvrdude(plan, FirmwareFiles::readBackArguments(plan.device, plan.readBack),
                                FirmwareFiles::transferMs(FirmwareFiles::FlashBytes, ReadBackBaud),
                                Stage::ReadingBack, readBackShares());
        // Only a read-back that ended well replaces a backup; any other leaves the
        // earlier ones as they were.
        QString noBackup;
        if (!readBack.ok())
            noBackup = runFailure(readBack);
        else if (!QFile::exists(plan.readBack))
            noBackup = tr("avrdude ended without writing it");
        else if (!FirmwareFiles::installBackup(services.backupFolder, plan.backupName,
                                               plan.readBack))
            noBackup = tr("it could not be stored as %1")
                           .arg(QDir::toNativeSeparators(
                               QDir(services.backupFolder).filePath(plan.backupName)));
        plan.backupKept = noBackup.isEmpty();
        QFile::remove(plan.readBack);
        if (!plan.backupKept) {
            // Without a backup nothing is written.
            if (!plan.copy.isEmpty())
                QFile::remove(plan.copy);
            text = joined(Failure,
                          tr("No backup of the firmware on the generator could be made (%1), so "
                             "nothing was written: the firmware on the generator is unchanged.")
                              .arg(noBackup));
            text = joined(text, giveBack(loan));
        }
    }
    if (plan.recovery || plan.backupKept) {
        Q_EMIT progress(Stage::Preparing, 0);
        const int baud = m_context.state.bootloaderBaud;
        const Run write = co_await runAvrdude(
            plan, FirmwareFiles::writeArguments(plan.device, baud, plan.toWrite),
            FirmwareFiles::transferMs(plan.dataBytes * 2, baud), Stage::Writing, writeShares());
        if (!plan.copy.isEmpty())
            QFile::remove(plan.copy);
        if (write.ok())
            Q_EMIT progress(Stage::Writing, 100);
        if (plan.verify) {
            text = co_await verdict(plan, loan, write);
        } else {
            // A recovery from the connection window: the port stays closed, and
            // discovery looks for the generator next.
            loan.keepClosed();
            text = write.ok() ? Success
                              : joined(Failure, tr("The write failed: %1.").arg(runFailure(write)));
        }
    }
    if (plan.recoverAfter)
        co_return Result{Outcome::GeneratorSilent, ProgramTitle, text, plan.portNumber};
    co_return told(text);
}

QCoro::Task<QString> FirmwareUpdate::verdict(Plan &plan, PortLoan &loan, const Run &write) {
    Link &link = m_context.link;
    const DeviceState &state = m_context.state;
    const QString folder = m_context.services.backupFolder;
    const QString fileName = QFileInfo(plan.image).fileName();
    const QString modelCode = fileName.mid(2, 2);
    if (!write.started) {
        co_return joined(joined(Failure, tr("%1 for the write: nothing was written, the firmware "
                                            "on the generator is unchanged.")
                                             .arg(runFailure(write))),
                         giveBack(loan));
    }

    // A failed write keeps the backup taken before it apart from the later ones.
    auto holdBackup = [&] {
        if (plan.backupKept)
            FirmwareFiles::holdBeforeFailedWrite(folder, plan.backupName);
    };
    // The firmware to go back to: the one from before the first failed write.
    auto backupToWrite = [&] {
        QString path = FirmwareFiles::heldBackup(folder, modelCode);
        if (path.isEmpty() && !plan.backupName.isEmpty() &&
            QFile::exists(QDir(folder).filePath(plan.backupName)))
            path = QDir(folder).filePath(plan.backupName);
        return path.isEmpty() ? tr("write %1 again").arg(QDir::toNativeSeparators(plan.image))
                              : tr("write the backup %1 back from this window")
                                    .arg(QDir::toNativeSeparators(path));
    };
    QString text = Failure;
    if (!write.ok()) {
        holdBackup();
        text = joined(text, write.killed ? tr("The write did not end within %1 s and was "
                                              "stopped. The generator may need its firmware "
                                              "written again: %2.")
                                               .arg(write.boundMs / 1000)
                                               .arg(backupToWrite())
                                         : tr("The write failed: %1.").arg(runFailure(write)));
    }

    const int error = loan.giveBack();
    if (error != SerialPort::NoError) {
        // As after an unplug: the panel shows no generator and the port is tried again.
        link.portGone();
        if (write.ok())
            holdBackup();
        co_return joined(text, tr("COM%1 could not be opened again (%2): whether the generator "
                                  "runs the new firmware is not known, and the panel is not "
                                  "connected to it. Check the cable; the program connects again "
                                  "as soon as the generator answers on this port.")
                                   .arg(plan.portNumber)
                                   .arg(portError(error)));
    }
    Q_EMIT progress(Stage::AwaitingGenerator, 0);
    const bool identified = co_await awaitIdentity(IdentityAfterWriteMs);
    if (!identified) {
        // The panel shows no generator (the line is reported lost: lamp dark, controls
        // and poll off) and the recovery follows, keeping the port (the retries of the
        // lost line wait until it ends).
        m_heldPort = link.lendPort();
        link.portGone();
        if (write.ok())
            holdBackup();
        plan.recoverAfter = true;
        co_return joined(text, tr("The generator does not answer after the write (nothing within "
                                  "%1 s of opening COM%2 again): it may not run any firmware. "
                                  "This window now recovers it: %3.")
                                   .arg(IdentityAfterWriteMs / 1000)
                                   .arg(plan.portNumber)
                                   .arg(backupToWrite()));
    }
    m_context.polling.setPollingEnabled(true);
    if (!FirmwareFiles::runsImageVersion(fileName, state.firmwareVersion)) {
        if (write.ok())
            holdBackup();
        co_return joined(
            text, tr("The generator now runs firmware version %1, not the version "
                     "%2 of %3.")
                      .arg(state.firmwareVersion, FirmwareFiles::shownVersion(fileName), fileName));
    }
    if (!write.ok())
        co_return text;
    FirmwareFiles::releaseHeld(folder, modelCode);
    co_return Success;
}

QString FirmwareUpdate::portError(int error) {
    switch (error) {
    case SerialPort::InvalidPort:
        return tr("the port is gone; is the generator still plugged in?");
    case SerialPort::PortBusy:
        return tr("another program holds it");
    case SerialPort::PermissionDenied:
        return tr("permission denied");
    case SerialPort::CannotConfigure:
        return tr("its line settings cannot be applied");
    default:
        return tr("error %1").arg(error);
    }
}

QString FirmwareUpdate::giveBack(PortLoan &loan) {
    const int portNumber = loan.portNumber();
    const int error = loan.giveBack();
    if (error == SerialPort::NoError) {
        m_context.polling.setPollingEnabled(true);
        return {};
    }
    // As after an unplug: the panel shows no generator, polling stays off, and the port
    // is tried again until the generator answers on it.
    m_context.link.portGone();
    return tr("COM%1 could not be opened again (%2): the panel is not connected to the "
              "generator. Check the cable; the program connects again as soon as the "
              "generator answers on this port.")
        .arg(portNumber)
        .arg(portError(error));
}
