// The installer: a separate, very small program shipped beside KVT. It places the
// serial-port component into the system's folder for such components and starts the
// system's registration tool, all while its window loads, and then ends.
//
// One algorithm for every platform (runInstaller). A platform supplies only data
// (InstallerLayout: folders, file names, the registration command) and two small
// seams: InstallerFiles (copy, folder test) and InstallerHost (start a program, show
// an error, end). Tests drive the algorithm with a fake Windows file system and a
// recording host, and the Linux layout against a temporary root folder.
// Uses Qt Core only; InstallerWindow (installerwindow.h) and main.cpp add the widgets.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>

namespace Installer {

// Outcome of a file operation, in the terms the installer decides on.
enum class FileResult {
    Ok,
    PathNotFound, // a folder on the way is missing (the run time's error 76)
    FileNotFound, // the source file is missing (error 53)
    OtherError,   // access denied, file in use, not a folder, ...
};

// Everything that differs between platforms, as plain data.
struct InstallerLayout {
    QString systemFolder;   // first choice of the target folder, ends with a separator
    QString fallbackFolder; // used when the probe finds no system folder
    QString probeSource;    // what the probe reads
    // Where the probe copies probeSource. Empty: the probe only tests that the folder
    // probeSource exists and writes nothing.
    QString probeCopy;
    QString componentName;        // file name of the component in the target folder
    QStringList componentSources; // tried in order while the source file is missing
    QString tool;                 // registration tool
    bool toolInTarget = false;    // the tool is started from the target folder
    QStringList toolArguments;
    // Linux: a rule that could not be placed is reported with its remedy on standard
    // error and the run fails without starting the tool (there is nothing new for it
    // to apply); a placed one is reported on standard output. On Windows a failed copy
    // is not reported and the tool still runs.
    bool reportPlacement = false;
    QString selfPath; // the installer itself, named in the remedy (sudo <selfPath>)
};

// The installer's own layout on Windows: the 32-bit system folder of 64-bit Windows,
// else the system folder, and the control registered with regsvr32.
InstallerLayout windowsLayout();

// The Linux layout: a udev rule placed in the local rules folder (the packaged rules
// folder when there is none), taken from the current folder or else from
// installerFolder, the folder that holds the installer; udev applies it to the serial
// devices already present when asked to replay their "add" events.
InstallerLayout linuxLayout(const QString &installerFolder);

inline const QString RuleFileName = QStringLiteral("60-kvt-serial.rules");

class InstallerFiles {
public:
    virtual ~InstallerFiles() = default;
    // Copies from to to, overwriting an existing file. Relative paths are taken from
    // the current folder.
    virtual FileResult copyFile(const QString &from, const QString &to) = 0;
    // Ok when folder exists; PathNotFound when it does not. Writes nothing.
    virtual FileResult checkFolder(const QString &folder) = 0;
    // The system's reason for the last copy that failed with OtherError ("Permission
    // denied", ...), or empty.
    virtual QString lastError() const { return {}; }
};

class InstallerHost {
public:
    virtual ~InstallerHost() = default;
    // Starts program with arguments (no shell), does not wait. On failure returns
    // false and puts the reason into *reason.
    virtual bool startDetached(const QString &program, const QStringList &arguments,
                               QString *reason) = 0;
    virtual void showError(const QString &title, const QString &text) = 0;
    // A line for the technician on the terminal (standard output or standard error).
    virtual void printOut(const QString &line) = 0;
    virtual void printError(const QString &line) = 0;
    virtual void endProgram() = 0;
};

// What one run did; the program only uses `started`, tests read the rest.
struct InstallOutcome {
    QString target;
    FileResult probe = FileResult::Ok;
    FileResult copy = FileResult::Ok;
    bool placed = false; // the component is in the target folder
    QString program;
    QStringList arguments;
    bool started = false;
};

// Whether a window can be made: QApplication aborts the program when its window system
// cannot be reached, so this is judged from the environment (`environment` reads one
// variable) before any window exists. A platform named in QT_QPA_PLATFORM that needs no
// display server (offscreen, minimal, ...) counts as one; xcb needs DISPLAY and Wayland
// WAYLAND_DISPLAY; without QT_QPA_PLATFORM either of the two will do.
bool windowSystemAvailable(const std::function<QString(const char *)> &environment);

// Title of the error message box: the run time names it after the program.
inline const QString ErrorTitle = QStringLiteral("install");

// Probe, place the component, start the registration tool. Copy failures are ignored
// unless the layout reports the placement; a registration tool that cannot start is
// reported through host.showError.
InstallOutcome runInstaller(const InstallerLayout &layout, InstallerFiles &files,
                            InstallerHost &host);

// The exit status of a run: 0, or 1 when the tool could not be started or a placement
// the layout reports failed.
int exitStatus(const InstallerLayout &layout, const InstallOutcome &outcome);

} // namespace Installer
