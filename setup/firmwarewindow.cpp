#include "setup/firmwarewindow.h"

#include "link/devicestate.h"
#include "link/link.h"
#include "link/polling.h"
#include "link/procedure.h"
#include "link/serialport.h"
#include "link/waits.h"
#include "setup/firmwarefiles.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
// The progress panel's caption until an update writes its own texts there.
const char *const WritingCaption =
    QT_TRANSLATE_NOOP("FirmwareUpdateDialog", "Writing new firmware...");
} // namespace

namespace {
const QString ProgramTitle = QStringLiteral("KVT Control Panel");

// Indices into the timetable where something else happens besides the text.
constexpr int ReadBackStartsAfter = 0; // "Resetting connection..." and its wait
constexpr int UploadStep = 5;          // "Uploading...0%": the write starts
} // namespace

const QStringList &FirmwareUpdateDialog::progressTexts() {
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
const QList<int> &FirmwareUpdateDialog::progressWaits() {
    static const QList<int> waits{2000, 6000, 2000, 4000, 8000, 5000,
                                  5000, 5000, 5000, 5000, 5000, 0};
    return waits;
}

FirmwareUpdateDialog::FirmwareUpdateDialog(DeviceState &state, Link &link, Polling &polling,
                                           const Services &services, QWidget *parent)
    : QDialog(parent), m_state(state), m_link(link), m_polling(polling), m_services(services),
      m_waits(std::make_unique<WaitSet>(*services.time)) {
    setObjectName(QStringLiteral("FirmwareUpdateDialog"));
    setWindowTitle(QStringLiteral("Firmware update"));
    setModal(true);
    auto named = [](auto *w, const char *name) {
        w->setObjectName(QLatin1String(name));
        return w;
    };

    m_currentVersionCaption =
        named(new QLabel(QStringLiteral("Current version : ")), "currentVersionCaption");
    m_currentVersionLabel = named(new QLabel(QStringLiteral("0.00")), "currentVersionLabel");
    m_selectedVersionCaption =
        named(new QLabel(QStringLiteral("Selected file : ")), "selectedVersionCaption");
    m_selectedVersionLabel = named(new QLabel, "selectedVersionLabel");
    m_driveBox = named(new QComboBox, "driveBox");
    for (const QFileInfo &drive : QDir::drives())
        m_driveBox->addItem(QDir::toNativeSeparators(drive.absolutePath()));
    m_folderLabel = named(new QLabel, "folderLabel");
    m_folderLabel->setWordWrap(true);
    m_folderList = named(new QListWidget, "folderList");
    m_fileList = named(new QListWidget, "fileList");

    m_warningFrame = named(new QGroupBox(QStringLiteral(" ! WARNING ! ")), "warningFrame");
    m_warningLabel = named(
        new QLabel(QStringLiteral("This process is very sensitive. Attempt to write bad or "
                                  "corrupted firmware binary file make target device unusable !")),
        "warningLabel");
    m_warningLabel->setWordWrap(true);
    m_writeButton = named(new QPushButton(QStringLiteral("Write to device")), "writeButton");
    auto *warningLayout = new QVBoxLayout(m_warningFrame);
    warningLayout->addWidget(m_warningLabel);
    warningLayout->addWidget(m_writeButton);
    m_exitButton = named(new QPushButton(QStringLiteral("Exit")), "exitButton");

    auto *versions = new QHBoxLayout;
    versions->addWidget(m_currentVersionCaption);
    versions->addWidget(m_currentVersionLabel);
    versions->addSpacing(30);
    versions->addWidget(m_selectedVersionCaption);
    versions->addWidget(m_selectedVersionLabel);
    versions->addStretch();
    auto *folders = new QVBoxLayout;
    folders->addWidget(m_driveBox);
    folders->addWidget(m_folderList);
    auto *lists = new QHBoxLayout;
    lists->addLayout(folders);
    lists->addWidget(m_fileList);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(m_warningFrame, 1);
    bottom->addWidget(m_exitButton, 0, Qt::AlignBottom);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(versions);
    layout->addWidget(m_folderLabel);
    layout->addLayout(lists, 1);
    layout->addLayout(bottom);

    // The progress panel lies over the whole window (see resizeEvent), so nothing
    // under it can be clicked during an update.
    m_progressPanel = named(new QFrame(this), "progressPanel");
    m_progressPanel->setFrameShape(QFrame::Panel);
    m_progressPanel->setAutoFillBackground(true);
    m_waitLabel = named(new QLabel(m_progressPanel), "waitLabel");
    m_waitLabel->setWordWrap(true);
    m_waitLabel->setAlignment(Qt::AlignCenter);
    auto *rule = named(new QFrame(m_progressPanel), "progressRule");
    rule->setFrameShape(QFrame::HLine);
    m_progressLabel = named(new QLabel(tr(WritingCaption), m_progressPanel), "progressLabel");
    m_progressLabel->setAlignment(Qt::AlignCenter);
    QFont big = m_progressLabel->font();
    big.setPointSize(big.pointSize() + 4);
    big.setBold(true);
    m_progressLabel->setFont(big);
    auto *progressLayout = new QVBoxLayout(m_progressPanel);
    progressLayout->addStretch();
    progressLayout->addWidget(m_waitLabel);
    progressLayout->addWidget(rule);
    progressLayout->addWidget(m_progressLabel);
    progressLayout->addStretch();
    m_progressPanel->hide();
    m_warningFrame->hide();
    m_writeButton->setEnabled(false);

    resize(560, 400);

    connect(m_driveBox, &QComboBox::textActivated, this, &FirmwareUpdateDialog::showFolder);
    connect(m_folderList, &QListWidget::itemActivated, this, &FirmwareUpdateDialog::folderChosen);
    connect(m_fileList, &QListWidget::itemClicked, this, &FirmwareUpdateDialog::fileClicked);
    connect(m_fileList, &QListWidget::itemActivated, this, &FirmwareUpdateDialog::fileClicked);
    connect(m_writeButton, &QPushButton::clicked, this, &FirmwareUpdateDialog::writeClicked);
    connect(m_exitButton, &QPushButton::clicked, this, &QWidget::hide);

    showFolder(QDir::currentPath());
}

FirmwareUpdateDialog::~FirmwareUpdateDialog() {
    // An update still waiting ends here, ending its avrdude with it.
    m_waits->cancelAll();
}

void FirmwareUpdateDialog::showFolder(const QString &folder) {
    const QDir dir(folder);
    m_folder = dir.absolutePath();
    m_folderLabel->setText(QDir::toNativeSeparators(m_folder));
    m_writeButton->setEnabled(false);
    m_warningFrame->hide();

    m_folderList->clear();
    if (!dir.isRoot())
        m_folderList->addItem(QStringLiteral(".."));
    m_folderList->addItems(dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name));
    m_fileList->clear();
    m_fileList->addItems(
        dir.entryList({QStringLiteral("*.bin")}, QDir::Files | QDir::Readable, QDir::Name));
}

void FirmwareUpdateDialog::folderChosen(QListWidgetItem *item) {
    showFolder(QDir(m_folder).filePath(item->text()));
}

void FirmwareUpdateDialog::fileClicked(QListWidgetItem *item) {
    if (m_busy)
        return;
    m_writeButton->setEnabled(false);
    m_warningFrame->hide();
    m_selectedFile = item->text();
    if (!FirmwareFiles::isImageName(m_selectedFile))
        return;
    m_selectedVersionLabel->setText(FirmwareFiles::shownVersion(m_selectedFile));
    m_warningFrame->show();
    m_writeButton->setEnabled(true);
}

void FirmwareUpdateDialog::showEvent(QShowEvent *event) {
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    m_currentVersionLabel->setText(m_state.firmwareVersion);
    m_warningFrame->hide();
    m_progressPanel->hide();
    m_writeButton->setEnabled(false);
    m_waitLabel->setText(QStringLiteral("Wait one minute, please...\r\nWarning - do not interrupt "
                                        "this process, switch power off, or unplug connected KVT "
                                        "device !"));
}

void FirmwareUpdateDialog::closeEvent(QCloseEvent *event) {
    // An update cannot be abandoned half way: the port must be given back.
    if (m_updating) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void FirmwareUpdateDialog::reject() {
    if (m_updating)
        return;
    QDialog::reject();
}

void FirmwareUpdateDialog::resizeEvent(QResizeEvent *event) {
    QDialog::resizeEvent(event);
    m_progressPanel->setGeometry(rect());
}

void FirmwareUpdateDialog::setProgress(const QString &text) {
    m_progressLabel->setText(text);
    if (m_progressLabel->isVisible())
        m_progressLabel->repaint();
}

void FirmwareUpdateDialog::writeClicked() {
    if (m_busy)
        return;
    QPointer<FirmwareUpdateDialog> self(this);
    runProcedure(runUpdate(), [self, this](const QString &what) {
        if (self)
            m_services.dialogs->message(this, ProgramTitle,
                                        QStringLiteral("The firmware update failed: ") + what);
    });
}

QCoro::Task<> FirmwareUpdateDialog::runUpdate() {
    m_busy = true;
    const bool yes = m_services.dialogs->askYesNo(
        this, QStringLiteral("Write"),
        QStringLiteral("Write new firmware binary file to Your device. Are You sure ?"));
    if (!yes) {
        m_busy = false;
        co_return;
    }
    if (!FirmwareFiles::madeForModel(m_selectedFile, m_state.modelName)) {
        m_services.dialogs->message(
            this, QStringLiteral("Error"),
            QStringLiteral("This binary file is build for another version of KVT !"));
        m_busy = false;
        hide();
        co_return;
    }

    m_updating = true;
    m_progressPanel->setGeometry(rect());
    m_progressPanel->raise();
    m_progressPanel->show();

    const QString backup =
        QDir(m_services.programFolder)
            .filePath(FirmwareFiles::backupName(m_state.modelName, m_state.firmwareVersion));
    const QString image = QDir(m_folder).filePath(m_selectedFile);
    // avrdude opens the device the control link has open, by its system name.
    const QString device = m_link.port().systemName();
    const int16_t portNumber = m_state.portNumber;
    m_polling.setPollingEnabled(false);
    m_link.handOverPort();

    const bool uploaded = co_await runTimetable(backup, image, device);

    m_services.dialogs->message(this, ProgramTitle,
                                uploaded ? QStringLiteral("New firmware successfully uploaded...")
                                         : QStringLiteral("Error with upload !"));
    // The port comes back in every outcome; if it cannot be opened (the adapter is
    // gone) the program goes on as after an unplug: it tries the port again.
    m_state.portNumber = portNumber;
    m_polling.setPollingEnabled(true);
    if (m_link.openPort() != 0)
        m_link.portGone();
    m_updating = false;
    m_busy = false;
    hide();
}

QCoro::Task<bool> FirmwareUpdateDialog::runTimetable(const QString &backupPath,
                                                     const QString &imagePath,
                                                     const QString &device) {
    const QString avrdude = FirmwareFiles::findAvrdude(m_services.programFolder);
    const QStringList &texts = progressTexts();
    const QList<int> &waits = progressWaits();
    std::unique_ptr<StartedProcess> readBack;
    std::unique_ptr<StartedProcess> write;
    for (int i = 0; i < texts.size(); ++i) {
        if (i == UploadStep && readBack && readBack->running()) {
            // Past its 20 s the read-back is stuck; the write needs the port.
            readBack->kill();
        }
        setProgress(texts[i]);
        if (i == UploadStep)
            write = m_services.processes->start(
                avrdude, FirmwareFiles::writeArguments(device, m_state.bootloaderBaud, imagePath));
        if (waits[i] > 0)
            co_await m_waits->wait(waits[i]);
        if (i == ReadBackStartsAfter) {
            FirmwareFiles::rotateBackups(QFileInfo(backupPath).path(),
                                         QFileInfo(backupPath).fileName());
            readBack = m_services.processes->start(
                avrdude, FirmwareFiles::readBackArguments(device, backupPath));
        }
    }
    // The backup proves the read-back reached the generator; the write must have ended
    // by itself, successfully, within its 30 s.
    const bool written = write && !write->running() && write->exitCode() == 0;
    if (write && write->running())
        write->kill();
    co_return written &&QFile::exists(backupPath);
}

void FirmwareUpdateDialog::changeEvent(QEvent *event) {
    // The only caption here with a Czech text is the progress panel's first one; the
    // texts of a running update stay as they are.
    if (event->type() == QEvent::LanguageChange &&
        m_progressLabel->text() == QLatin1String(WritingCaption))
        m_progressLabel->setText(tr(WritingCaption));
    QDialog::changeEvent(event);
}
