#pragma once

#include "instrument/firmwareupdate.h"

#include <QDialog>
#include <functional>
#include <optional>

class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class Dialogs;
struct DeviceState;

// The firmware-update window: the user picks an image file (41MMJJNN.bin) or a backup
// (41MMJJNN.bkp) and asks for it to be written; during the update a progress panel
// covers the window. It only shows and asks: FirmwareUpdate runs the update, the window
// answers its questions with the user, shows its progress and tells its result.
//
// Shown modally (Dialogs::showModal) from the information panel, the setup window and
// the connection window's recovery; it hides itself when done and keeps its file
// choice between uses.
class FirmwareUpdateDialog final : public QDialog, private FirmwareUpdate::Asker {
    Q_OBJECT
public:
    // `ending` is true once the program is ending: no result is shown then.
    FirmwareUpdateDialog(FirmwareUpdate &update, const DeviceState &state, Dialogs &dialogs,
                         std::function<bool()> ending, QWidget *parent = nullptr);
    ~FirmwareUpdateDialog() override;

    // Shows the window modally to recover the generator on port `portNumber`; returns
    // whether a write ended well, after the window has closed. The control link stays
    // closed: the caller starts discovery again.
    bool recover(int portNumber);

    // True while locked (setLocked): the window and the program refuse to close.
    bool updateRunning() const { return m_locked; }

    // Shows `folder` in the folder and file lists, as a choice in the folder list does.
    void showFolder(const QString &folder);

    // The folder shown and the name of the file last clicked there.
    QString folder() const { return m_folder; }
    QString selectedFile() const { return m_selectedFile; }

    // A note above the lists (the recovery of a generator that does not answer);
    // empty hides it.
    void setNote(const QString &note);

    // The folder of the firmware backups, shown when "Backups (*.bkp)" is chosen (the
    // packaged program's is hidden in the user's home).
    void setBackupFolder(const QString &folder) { m_backupFolder = folder; }

    // From the confirmation of an update to its result: the choice cannot change and
    // Exit, Esc and the close control are refused.
    void setLocked(bool locked);
    // The progress panel: shown over the whole window from the start of an update
    // with the texts of its steps; it stays up when the window hides after the result.
    void showProgress();
    void setProgress(const QString &text);
    // Uncovers the window again (it stays open to recover the generator).
    void hideProgress();

Q_SIGNALS:
    // "Write to device" was clicked with an acceptable file chosen.
    void writeRequested();
    // The window was hidden (Exit, or the end of an update).
    void hidden();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

public Q_SLOTS:
    void reject() override;

private:
    bool confirm(const QString &title, const QString &question) override;
    void startUpdate();
    void showStage(FirmwareUpdate::Stage stage, int share);
    void showResult(const FirmwareUpdate::Result &result);
    void windowHidden();
    void fileClicked(QListWidgetItem *item);
    void folderChosen(QListWidgetItem *item);
    void listFiles();
    void retranslate();

    FirmwareUpdate &m_update;
    const DeviceState &m_state;
    Dialogs &m_dialogs;
    std::function<bool()> m_ending;
    std::optional<int> m_recoveryPort; // set while the window recovers that port
    bool m_recovered = false;          // the last recovery's write ended well
    QString m_folder;                  // the folder the file list shows
    QString m_selectedFile;            // name of the file last clicked
    QString m_backupFolder;            // shown for "Backups (*.bkp)"
    bool m_locked = false;             // from the confirmation to the result

    QLabel *m_currentVersionCaption;  // "Current version : "
    QLabel *m_currentVersionLabel;    // the generator's firmware version
    QLabel *m_selectedVersionCaption; // "Selected file : "
    QLabel *m_selectedVersionLabel;   // version read from the chosen file's name
    QLabel *m_noteLabel;              // recovery: why no backup is made
    QComboBox *m_driveBox;            // drives (one root outside Windows)
    QLabel *m_folderLabel;            // the folder shown
    QListWidget *m_folderList;        // its subfolders, ".." first
    QComboBox *m_fileTypeBox;         // images (*.bin) or backups (*.bkp)
    QListWidget *m_fileList;          // its files of the chosen kind
    QGroupBox *m_warningFrame;        // " ! WARNING ! " with the write button
    QLabel *m_warningLabel;
    QPushButton *m_writeButton; // "Write to device"
    QPushButton *m_exitButton;  // "Exit"
    QFrame *m_progressPanel;    // covers the window during an update
    QLabel *m_waitLabel;        // warning during the update
    QLabel *m_progressLabel;    // the progress text of the step running
};
