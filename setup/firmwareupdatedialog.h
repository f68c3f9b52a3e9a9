#pragma once

#include "link/services.h"

#include <QDialog>
#include <memory>
#include <qcoro/qcorotask.h>

class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class Link;
class Polling;
class WaitSet;
struct DeviceState;

// The firmware-update window: the user picks an image file (41MMJJNN.bin), the window
// checks that it was made for the connected model, backs up the present firmware with
// avrdude, writes the image with avrdude and tells the result. While it runs, the
// control link is closed and the poll is off, so avrdude has the port to itself; the
// whole update follows a fixed timetable of 52 s on the program's time source.
//
// Shown modally (Dialogs::showModal) from the information panel and the setup window;
// it hides itself when done and keeps its file choice between uses.
class FirmwareUpdateDialog final : public QDialog {
    Q_OBJECT
public:
    FirmwareUpdateDialog(DeviceState &state, Link &link, Polling &polling, const Services &services,
                         QWidget *parent = nullptr);
    ~FirmwareUpdateDialog() override;

    // True from the confirmed start of an update until the port is open again. The
    // window and the program refuse to close meanwhile.
    bool updateRunning() const { return m_updating; }

    // Shows `folder` in the folder and file lists, as a choice in the folder list does.
    void showFolder(const QString &folder);

    // The progress texts, in the order the timetable shows them, and its waits (ms):
    // each text is shown, then its wait runs.
    static const QStringList &progressTexts();
    static const QList<int> &progressWaits();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

public Q_SLOTS:
    void reject() override;

private:
    void fileClicked(QListWidgetItem *item);
    void folderChosen(QListWidgetItem *item);
    void writeClicked();
    QCoro::Task<> runUpdate();
    QCoro::Task<bool> runTimetable(const QString &backupPath, const QString &imagePath,
                                   const QString &device);
    void setProgress(const QString &text);

    DeviceState &m_state;
    Link &m_link;
    Polling &m_polling;
    Services m_services;
    std::unique_ptr<WaitSet> m_waits;
    QString m_folder;        // the folder the file list shows
    QString m_selectedFile;  // name of the file last clicked
    bool m_busy = false;     // from the click on "Write to device" to the end
    bool m_updating = false; // from the progress panel to the re-opened port

    QLabel *m_currentVersionCaption;  // "Current version : "
    QLabel *m_currentVersionLabel;    // the generator's firmware version
    QLabel *m_selectedVersionCaption; // "Selected file : "
    QLabel *m_selectedVersionLabel;   // version read from the chosen file's name
    QComboBox *m_driveBox;            // drives (one root outside Windows)
    QLabel *m_folderLabel;            // the folder shown
    QListWidget *m_folderList;        // its subfolders, ".." first
    QListWidget *m_fileList;          // its "*.bin" files
    QGroupBox *m_warningFrame;        // " ! WARNING ! " with the write button
    QLabel *m_warningLabel;
    QPushButton *m_writeButton; // "Write to device"
    QPushButton *m_exitButton;  // "Exit"
    QFrame *m_progressPanel;    // covers the window during an update
    QLabel *m_waitLabel;        // warning during the update
    QLabel *m_progressLabel;    // the timetable's progress text
};
