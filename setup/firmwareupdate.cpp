#include "setup/firmwareupdate.h"

#include "link/devicestate.h"
#include "link/link.h"
#include "link/polling.h"
#include "link/procedure.h"
#include "link/serialport.h"
#include "link/waits.h"
#include "setup/firmwarefiles.h"
#include "setup/firmwareupdatedialog.h"
#include "widgets/panelcontext.h"
#include "widgets/services.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

namespace {
const QString ProgramTitle = QStringLiteral("KVT Control Panel");
const QString ErrorTitle = QStringLiteral("Error");

// Indices into the timetable where something else happens besides the text.
constexpr int ReadBackStartsAfter = 0; // "Resetting connection..." and its wait
constexpr int UploadStep = 5;          // "Uploading...0%": the write starts
constexpr int WriteShareMs = 30000;    // from the write's start to the result

// How often a run that should end is looked at: often enough that nobody waits for
// it, rarely enough to cost nothing.
constexpr int ProbeStepMs = 50;
constexpr int OvertimeStepMs = 100;
} // namespace

// What one update works with, fixed by its checks.
struct FirmwareUpdate::Plan {
    bool recovery = false;
    int portNumber = 0;
    QString avrdude;
    QString image;      // the chosen file
    QString toWrite;    // what avrdude writes: the image, or a backup's trimmed copy
    QString copy;       // that copy, removed at the end; empty for an image
    QString backupName; // K; empty when recovering
    QString readBack;   // where the read-back goes until it has ended well
    QString device;     // the port's system name, for avrdude

    bool backupKept = false; // this run's read-back became K
    bool written = false;    // the write ended by itself with exit status 0
    bool writeKilled = false;
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

// The read-back has the 20 s up to "Uploading...0%", the write the 30 s after it.
const QList<int> &FirmwareUpdate::progressWaits() {
    static const QList<int> waits{2000, 6000, 2000, 4000, 8000, 5000,
                                  5000, 5000, 5000, 5000, 5000, 0};
    return waits;
}

FirmwareUpdate::FirmwareUpdate(const PanelContext &context, Controls controls, QObject *parent)
    : QObject(parent), m_context(context), m_controls(std::move(controls)),
      m_waits(std::make_unique<WaitSet>(*context.services.time)) {
    setObjectName(QStringLiteral("firmwareUpdate"));
}

FirmwareUpdate::~FirmwareUpdate() {
    // An update still waiting ends here, ending its avrdude with it.
    m_waits->cancelAll();
    delete m_dialog;
}

FirmwareUpdateDialog &FirmwareUpdate::dialog() {
    if (!m_dialog) {
        m_dialog = new FirmwareUpdateDialog(m_context.state, m_context.window);
        connect(m_dialog, &FirmwareUpdateDialog::writeRequested, this,
                &FirmwareUpdate::writeRequested);
    }
    return *m_dialog;
}

bool FirmwareUpdate::updateRunning() const {
    return m_dialog && m_dialog->updateRunning();
}

bool FirmwareUpdate::recover(int portNumber) {
    FirmwareUpdateDialog &window = dialog();
    const QPointer<FirmwareUpdate> self(this);
    m_recoveryPort = portNumber;
    m_recovered = false;
    window.setNote(tr("Recovery of the generator on COM%1: it does not answer, so its present "
                      "firmware cannot be kept as a backup. Choose the image to write.")
                       .arg(portNumber));
    m_context.services.dialogs->showModal(window);
    if (!self)
        return false; // the program ended meanwhile
    m_recoveryPort.reset();
    if (m_dialog)
        m_dialog->setNote({});
    return m_recovered;
}

void FirmwareUpdate::writeRequested() {
    if (m_busy)
        return;
    const QPointer<FirmwareUpdate> self(this);
    runProcedure(run(), [self](const QString &what) {
        if (self && self->m_dialog)
            self->m_context.services.dialogs->message(
                self->m_dialog, ProgramTitle,
                QStringLiteral("The firmware update failed: ") + what);
    });
}

QCoro::Task<bool> FirmwareUpdate::waitForEnd(StartedProcess &process, int ms) {
    const int step = ms == ProbeMs ? ProbeStepMs : OvertimeStepMs;
    for (int waited = 0; process.running() && waited < ms; waited += step) {
        co_await m_waits->wait(std::min(step, ms - waited));
    }
    co_return !process.running();
}

QCoro::Task<std::optional<QString>> FirmwareUpdate::check(Plan &plan) {
    const Services &services = m_context.services;

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

QCoro::Task<> FirmwareUpdate::run() {
    if (m_busy)
        co_return;
    FirmwareUpdateDialog &window = dialog();
    DeviceState &state = m_context.state;
    Link &link = m_context.link;
    const Services &services = m_context.services;
    const QString fileName = window.selectedFile();
    auto idle = [this, &window] {
        m_busy = false;
        window.setBusy(false);
    };
    m_busy = true;
    window.setBusy(true);

    if (!services.dialogs->askYesNo(
            &window, QStringLiteral("Write"),
            QStringLiteral("Write new firmware binary file to Your device. Are You sure ?"))) {
        idle();
        co_return;
    }
    Plan plan;
    plan.recovery = m_recoveryPort.has_value();
    plan.portNumber = plan.recovery ? *m_recoveryPort : state.portNumber;
    plan.image = QDir(window.folder()).filePath(fileName);
    if (plan.recovery) {
        // No identity to compare with: the user confirms what the name says.
        const QString question =
            tr("The file %1 is firmware version %2 for the KVT %3. Write it to the generator "
               "on COM%4 ?")
                .arg(fileName, FirmwareFiles::shownVersion(fileName), fileName.mid(2, 2))
                .arg(plan.portNumber);
        if (!services.dialogs->askYesNo(&window, QStringLiteral("Write"), question)) {
            idle();
            co_return;
        }
    } else if (!FirmwareFiles::madeForModel(fileName, state.modelName)) {
        services.dialogs->message(
            &window, ErrorTitle,
            QStringLiteral("This binary file is build for another version of KVT !"));
        idle();
        window.hide();
        co_return;
    }

    const QPointer<FirmwareUpdateDialog> alive(&window);
    const std::optional<QString> refusal = co_await check(plan);
    if (!alive)
        co_return;
    if (refusal) {
        services.dialogs->message(&window, ErrorTitle, *refusal);
        idle();
        co_return;
    }

    if (plan.recovery) {
        // The port is found by its number the way the control link finds it.
        state.portNumber = static_cast<int16_t>(plan.portNumber);
        link.closePort();
        const int error = link.openPort();
        if (error != SerialPort::NoError) {
            if (!plan.copy.isEmpty())
                QFile::remove(plan.copy);
            services.dialogs->message(
                &window, ErrorTitle,
                tr("COM%1 cannot be opened: %2.").arg(plan.portNumber).arg(portError(error)));
            idle();
            co_return;
        }
    } else {
        plan.backupName = FirmwareFiles::backupName(state.modelName, state.firmwareVersion);
        plan.readBack =
            QDir(services.backupFolder).filePath(FirmwareFiles::readBackName(plan.backupName));
    }

    window.showProgress();
    // avrdude opens the device the control link has open, by its system name.
    plan.device = link.port().systemName();
    if (!plan.recovery)
        m_context.polling.setPollingEnabled(false);
    // avrdude has the device until the port is opened again; nothing else (the retries
    // after a lost line) opens it meanwhile.
    link.handOverPort();
    // Whatever answered the brief open of a recovery is not the generator discovery
    // will find afterwards.
    if (plan.recovery)
        state.connected = 0;

    co_await runTimetable(plan);
    if (!plan.copy.isEmpty())
        QFile::remove(plan.copy);

    const QString backupPath = QDir(services.backupFolder).filePath(plan.backupName);
    const bool uploaded = plan.written && (plan.recovery || plan.backupKept);
    QString text = uploaded ? QStringLiteral("New firmware successfully uploaded...")
                            : QStringLiteral("Error with upload !");
    if (plan.writeKilled) {
        const QString fallback =
            !plan.recovery && QFile::exists(backupPath)
                ? tr("write the backup %1 back from this window")
                      .arg(QDir::toNativeSeparators(backupPath))
                : tr("write %1 again").arg(QDir::toNativeSeparators(plan.image));
        text += QStringLiteral("\n\n") +
                tr("The write did not end within %1 s and was stopped. The generator may need "
                   "its firmware written again: %2.")
                    .arg((WriteShareMs + WriteOvertimeMs) / 1000)
                    .arg(fallback);
    }
    if (!plan.recovery) {
        // The port belongs to the outcome: a panel without its line must not look
        // connected.
        const QString reopenFailure = reopenPort(plan.portNumber);
        if (!reopenFailure.isEmpty())
            text += QStringLiteral("\n\n") + reopenFailure;
    }
    services.dialogs->message(&window, ProgramTitle, text);
    if (plan.recovery)
        m_recovered = plan.written;
    window.endProgress();
    idle();
    window.hide();
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

QString FirmwareUpdate::reopenPort(int portNumber) {
    DeviceState &state = m_context.state;
    state.portNumber = static_cast<int16_t>(portNumber);
    const int error = m_context.link.openPort();
    if (error == SerialPort::NoError) {
        m_context.polling.setPollingEnabled(true);
        return {};
    }
    // As after an unplug: the panel shows no generator, polling stays off, and the port
    // is tried again until the generator answers on it.
    state.connected = 0;
    m_context.link.portGone();
    return tr("COM%1 could not be opened again (%2): the panel is not connected to the "
              "generator. Check the cable; the program connects again as soon as the "
              "generator answers on this port.")
        .arg(portNumber)
        .arg(portError(error));
}

QCoro::Task<> FirmwareUpdate::runTimetable(Plan &plan) {
    const Services &services = m_context.services;
    const QStringList &texts = progressTexts();
    const QList<int> &waits = progressWaits();
    std::unique_ptr<StartedProcess> readBack;
    std::unique_ptr<StartedProcess> write;
    for (int i = 0; i < texts.size(); ++i) {
        if (i == UploadStep && !plan.recovery) {
            // Past its 20 s the read-back is stuck; the write needs the port.
            if (readBack && readBack->running())
                readBack->kill();
            // Only a read-back that ended well replaces a backup; any other leaves the
            // earlier ones as they were.
            if (readBack && readBack->exitCode() == 0 && QFile::exists(plan.readBack))
                plan.backupKept = FirmwareFiles::installBackup(services.backupFolder,
                                                               plan.backupName, plan.readBack);
            QFile::remove(plan.readBack);
        }
        m_dialog->setProgress(texts[i]);
        if (i == UploadStep)
            write = services.processes->start(
                plan.avrdude, FirmwareFiles::writeArguments(
                                  plan.device, m_context.state.bootloaderBaud, plan.toWrite));
        if (waits[i] > 0) {
            co_await m_waits->wait(waits[i]);
        }
        if (i == ReadBackStartsAfter && !plan.recovery) {
            QFile::remove(plan.readBack); // a leftover of an earlier, interrupted run
            readBack = services.processes->start(
                plan.avrdude, FirmwareFiles::readBackArguments(plan.device, plan.readBack));
        }
    }
    // A slow line (a low bootloader baud, a slow adapter) may need more than the 30 s
    // of the timetable; killing a healthy write would strand the generator.
    if (write && write->running()) {
        m_dialog->setProgress(texts.last() + QLatin1Char('\n') +
                              tr("Writing goes on, please wait..."));
        const bool ended = co_await waitForEnd(*write, WriteOvertimeMs);
        if (!ended) {
            write->kill();
            plan.writeKilled = true;
        }
    }
    plan.written = write && write->exitCode() == 0;
}
