#include "setup/firmwareupdatedialog.h"

#include "instrument/firmwarefiles.h"
#include "link/devicestate.h"
#include "link/procedure.h"
#include "widgets/services.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
const QString ProgramTitle = QStringLiteral("KVT Control Panel");
// The progress panel's caption until an update writes its own texts there.
const char *const WritingCaption =
    QT_TRANSLATE_NOOP("FirmwareUpdateDialog", "Writing new firmware...");
// The two kinds of file that can be written: new images, and backups to go back to.
const char *const ImagesItem = QT_TRANSLATE_NOOP("FirmwareUpdateDialog", "Firmware images (*.bin)");
const char *const BackupsItem = QT_TRANSLATE_NOOP("FirmwareUpdateDialog", "Backups (*.bkp)");
} // namespace

FirmwareUpdateDialog::FirmwareUpdateDialog(FirmwareUpdate &update, const DeviceState &state,
                                           Dialogs &dialogs, std::function<bool()> ending,
                                           QWidget *parent)
    : QDialog(parent), m_update(update), m_state(state), m_dialogs(dialogs),
      m_ending(std::move(ending)) {
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
    m_fileTypeBox = named(new QComboBox, "fileTypeBox");
    m_fileTypeBox->addItem(QString(), QStringLiteral("*.bin"));
    m_fileTypeBox->addItem(QString(), QStringLiteral("*.bkp"));
    m_fileList = named(new QListWidget, "fileList");
    m_noteLabel = named(new QLabel, "noteLabel");
    m_noteLabel->setWordWrap(true);
    m_noteLabel->hide();

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
    auto *files = new QVBoxLayout;
    files->addWidget(m_fileTypeBox);
    files->addWidget(m_fileList);
    auto *lists = new QHBoxLayout;
    lists->addLayout(folders);
    lists->addLayout(files);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(m_warningFrame, 1);
    bottom->addWidget(m_exitButton, 0, Qt::AlignBottom);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(versions);
    layout->addWidget(m_noteLabel);
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
    m_progressLabel = named(new QLabel(m_progressPanel), "progressLabel");
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
    retranslate();

    resize(560, 400);

    connect(m_driveBox, &QComboBox::textActivated, this, &FirmwareUpdateDialog::showFolder);
    connect(m_folderList, &QListWidget::itemActivated, this, &FirmwareUpdateDialog::folderChosen);
    connect(m_fileList, &QListWidget::itemClicked, this, &FirmwareUpdateDialog::fileClicked);
    connect(m_fileList, &QListWidget::itemActivated, this, &FirmwareUpdateDialog::fileClicked);
    connect(m_fileTypeBox, &QComboBox::currentIndexChanged, this, [this](int index) {
        m_writeButton->setEnabled(false);
        m_warningFrame->hide();
        // The backups are one step away wherever they are kept.
        if (index == 1 && !m_backupFolder.isEmpty() && QDir(m_backupFolder).exists())
            showFolder(m_backupFolder);
        else
            listFiles();
    });
    connect(m_writeButton, &QPushButton::clicked, this, [this] {
        if (!m_locked)
            Q_EMIT writeRequested();
    });
    connect(m_exitButton, &QPushButton::clicked, this, &QWidget::hide);
    connect(this, &FirmwareUpdateDialog::writeRequested, this, &FirmwareUpdateDialog::startUpdate);
    connect(&m_update, &FirmwareUpdate::progress, this, &FirmwareUpdateDialog::showStage);
    connect(&m_update, &FirmwareUpdate::finished, this, &FirmwareUpdateDialog::showResult);

    showFolder(QDir::currentPath());
}

FirmwareUpdateDialog::~FirmwareUpdateDialog() = default;

bool FirmwareUpdateDialog::confirm(const QString &title, const QString &question) {
    return m_dialogs.askYesNo(this, title, question);
}

void FirmwareUpdateDialog::startUpdate() {
    if (m_update.busy())
        return;
    // Locked from here to the result: the checks run avrdude too, and the update must
    // not go on behind a window that was closed.
    setLocked(true);
    const QPointer<FirmwareUpdateDialog> self(this);
    runProcedure(m_update.run({QDir(m_folder).filePath(m_selectedFile), m_recoveryPort}, *this),
                 [self](const QString &what) {
                     if (!self)
                         return;
                     self->m_dialogs.message(self, ProgramTitle,
                                             QStringLiteral("The firmware update failed: ") + what);
                     self->setLocked(false);
                 });
}

void FirmwareUpdateDialog::showStage(FirmwareUpdate::Stage stage, int share) {
    if (stage == FirmwareUpdate::Stage::Checking)
        return;
    if (stage == FirmwareUpdate::Stage::ResettingConnection)
        showProgress();
    setProgress(FirmwareUpdate::progressText(stage, share));
}

void FirmwareUpdateDialog::showResult(const FirmwareUpdate::Result &result) {
    using Outcome = FirmwareUpdate::Outcome;
    switch (result.outcome) {
    case Outcome::Declined:
        break;
    case Outcome::WrongModel:
        m_dialogs.message(this, result.title, result.text);
        hide();
        break;
    default:
        // Nothing is shown once the program is ending (asked to end before the result or
        // while its message was open): nothing more is to be done.
        if (!m_ending())
            m_dialogs.message(this, result.title, result.text);
        if (m_ending() || result.outcome == Outcome::Refused)
            break;
        if (m_recoveryPort)
            m_recovered = result.outcome == Outcome::Succeeded;
        if (result.outcome == Outcome::GeneratorSilent) {
            // The window stays and recovers the generator on its port, at once.
            hideProgress();
            m_recoveryPort = result.portNumber;
            setNote(FirmwareUpdate::recoveryNote(result.portNumber, true));
            break;
        }
        hide();
        break;
    }
    setLocked(false);
}

bool FirmwareUpdateDialog::recover(int portNumber) {
    const QPointer<FirmwareUpdateDialog> self(this);
    m_recoveryPort = portNumber;
    m_recovered = false;
    setNote(FirmwareUpdate::recoveryNote(portNumber, false));
    m_dialogs.showModal(*this);
    if (!self)
        return false; // the program ended meanwhile
    windowHidden();
    return m_recovered;
}

void FirmwareUpdateDialog::windowHidden() {
    // A recovery lasts as long as the window that offers it. The one offered after a
    // silent write kept the port; closed without a write, it gives the port back to the
    // line, which connects again as soon as the generator answers there.
    m_recoveryPort.reset();
    if (!m_update.busy())
        m_update.endRecovery(!m_ending());
    setNote({});
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
    listFiles();
}

void FirmwareUpdateDialog::listFiles() {
    m_fileList->clear();
    m_fileList->addItems(QDir(m_folder).entryList({m_fileTypeBox->currentData().toString()},
                                                  QDir::Files | QDir::Readable, QDir::Name));
}

void FirmwareUpdateDialog::setNote(const QString &note) {
    m_noteLabel->setText(note);
    m_noteLabel->setVisible(!note.isEmpty());
}

void FirmwareUpdateDialog::folderChosen(QListWidgetItem *item) {
    showFolder(QDir(m_folder).filePath(item->text()));
}

void FirmwareUpdateDialog::fileClicked(QListWidgetItem *item) {
    if (m_locked)
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

void FirmwareUpdateDialog::hideEvent(QHideEvent *event) {
    QDialog::hideEvent(event);
    if (!event->spontaneous()) {
        windowHidden();
        Q_EMIT hidden();
    }
}

void FirmwareUpdateDialog::closeEvent(QCloseEvent *event) {
    // An update cannot be abandoned half way: avrdude may be writing, and the port
    // must be given back.
    if (m_locked) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void FirmwareUpdateDialog::reject() {
    if (m_locked)
        return;
    QDialog::reject();
}

void FirmwareUpdateDialog::setLocked(bool locked) {
    m_locked = locked;
    m_exitButton->setEnabled(!locked);
}

void FirmwareUpdateDialog::resizeEvent(QResizeEvent *event) {
    QDialog::resizeEvent(event);
    m_progressPanel->setGeometry(rect());
}

void FirmwareUpdateDialog::showProgress() {
    m_progressPanel->setGeometry(rect());
    m_progressPanel->raise();
    m_progressPanel->show();
}

void FirmwareUpdateDialog::setProgress(const QString &text) {
    m_progressLabel->setText(text);
    if (m_progressLabel->isVisible())
        m_progressLabel->repaint();
}

void FirmwareUpdateDialog::hideProgress() {
    m_progressPanel->hide();
}

void FirmwareUpdateDialog::changeEvent(QEvent *event) {
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QDialog::changeEvent(event);
}

// The captions here with a Czech text: the progress panel's first one (the texts of a
// running update stay as they are) and the kinds of file.
void FirmwareUpdateDialog::retranslate() {
    const QString progress = m_progressLabel->text();
    if (progress.isEmpty() || progress == QLatin1String(WritingCaption))
        m_progressLabel->setText(tr(WritingCaption));
    m_fileTypeBox->setItemText(0, tr(ImagesItem));
    m_fileTypeBox->setItemText(1, tr(BackupsItem));
}
