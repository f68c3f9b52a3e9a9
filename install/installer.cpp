#include "install/installer.h"

namespace Installer {

InstallerLayout windowsLayout() {
    InstallerLayout layout;
    layout.systemFolder = QStringLiteral("c:\\WINDOWS\\SYSWOW64\\");
    layout.fallbackFolder = QStringLiteral("c:\\WINDOWS\\SYSTEM32\\");
    // Copying the registration tool out of the 32-bit folder is how the installer
    // learns whether that folder exists; the copy itself ("NULL") is not used.
    layout.probeSource = QStringLiteral("c:\\windows\\syswow64\\regsvr32.exe");
    layout.probeCopy = QStringLiteral("NULL");
    layout.componentName = QStringLiteral("mscomm32.ocx");
    layout.componentSources = {QStringLiteral("mscomm32.ocx")};
    layout.tool = QStringLiteral("regsvr32.exe");
    layout.toolInTarget = true;
    layout.toolArguments = {QStringLiteral("mscomm32.ocx")};
    return layout;
}

InstallerLayout linuxLayout(const QString &installerFolder) {
    InstallerLayout layout;
    layout.systemFolder = QStringLiteral("/etc/udev/rules.d/");
    layout.fallbackFolder = QStringLiteral("/lib/udev/rules.d/");
    // The probe only tests that the local rules folder exists. Copying a file to "NULL"
    // in the user's folder, as on Windows, would leave a stray file behind for nothing:
    // the folder test answers the same question and writes nothing.
    layout.probeSource = layout.systemFolder;
    layout.componentName = RuleFileName;
    // The rule lies beside the installer. Taking it from the installer's own folder
    // when the current folder lacks it lets `sudo /path/to/install` work from anywhere.
    QString folder = installerFolder;
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    layout.componentSources = {RuleFileName, folder + RuleFileName};
    // Found through PATH: udevadm lives in /bin, /sbin or /usr/bin depending on the
    // distribution.
    layout.tool = QStringLiteral("udevadm");
    layout.toolArguments = {QStringLiteral("trigger"), QStringLiteral("--subsystem-match=tty"),
                            QStringLiteral("--action=add")};
    layout.reportPlacement = true;
    return layout;
}

namespace {

// Why the rule is not in place, and what the technician can do about it.
QString placementFailure(const InstallerLayout &layout, const InstallOutcome &outcome,
                         const QString &systemReason) {
    const QString placedAt = outcome.target + layout.componentName;
    QString text = QStringLiteral("The rule could not be placed at %1: ").arg(placedAt);
    switch (outcome.copy) {
    case FileResult::PathNotFound:
        text += QStringLiteral("neither %1 nor %2 exists.\nIs udev installed? Create %1 and run "
                               "the installer again with sudo.")
                    .arg(layout.systemFolder, layout.fallbackFolder);
        break;
    case FileResult::FileNotFound:
        text += QStringLiteral("%1 was not found (looked for %2).\nIt ships beside the "
                               "installer: unpack the program again, then run the installer "
                               "with sudo.")
                    .arg(layout.componentName, layout.componentSources.join(QStringLiteral(", ")));
        break;
    default:
        text += (systemReason.isEmpty() ? QStringLiteral("it cannot be written") : systemReason) +
                QStringLiteral(".\nRun the installer as root: sudo %1")
                    .arg(layout.selfPath.isEmpty() ? QStringLiteral("install") : layout.selfPath);
        break;
    }
    return text;
}

} // namespace

bool windowSystemAvailable(const std::function<QString(const char *)> &environment) {
    const bool x11 = !environment("DISPLAY").isEmpty();
    const bool wayland = !environment("WAYLAND_DISPLAY").isEmpty();
    const QString platforms = environment("QT_QPA_PLATFORM").trimmed();
    if (platforms.isEmpty())
        return x11 || wayland;
    static const QStringList withoutDisplay = {
        QStringLiteral("offscreen"), QStringLiteral("minimal"),      QStringLiteral("minimalegl"),
        QStringLiteral("vnc"),       QStringLiteral("linuxfb"),      QStringLiteral("eglfs"),
        QStringLiteral("directfb"),  QStringLiteral("vkkhrdisplay"), QStringLiteral("bsdfb")};
    // "wayland;xcb" is tried in that order; a name may carry options ("xcb:foo=1").
    for (const QString &entry : platforms.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString name = entry.section(QLatin1Char(':'), 0, 0).trimmed();
        if (withoutDisplay.contains(name) || (name == QLatin1String("xcb") && x11) ||
            (name.startsWith(QLatin1String("wayland")) && wayland))
            return true;
    }
    return false;
}

int exitStatus(const InstallerLayout &layout, const InstallOutcome &outcome) {
    if (layout.reportPlacement && !outcome.placed)
        return 1;
    return outcome.started ? 0 : 1;
}

InstallOutcome runInstaller(const InstallerLayout &layout, InstallerFiles &files,
                            InstallerHost &host) {
    InstallOutcome outcome;
    outcome.target = layout.systemFolder;

    outcome.probe = layout.probeCopy.isEmpty()
                        ? files.checkFolder(layout.probeSource)
                        : files.copyFile(layout.probeSource, layout.probeCopy);
    // Only a missing folder means there is no such system folder; any other failure of
    // the probe says nothing about it, so the first choice stays.
    if (outcome.probe == FileResult::PathNotFound)
        outcome.target = layout.fallbackFolder;

    // A failed copy is not reported: registering an already present copy again is
    // still worth doing.
    outcome.copy = FileResult::FileNotFound;
    for (const QString &source : layout.componentSources) {
        outcome.copy = files.copyFile(source, outcome.target + layout.componentName);
        if (outcome.copy != FileResult::FileNotFound)
            break;
    }

    outcome.placed = outcome.copy == FileResult::Ok;
    const QString placedAt = outcome.target + layout.componentName;
    if (layout.reportPlacement) {
        if (!outcome.placed) {
            host.printError(placementFailure(layout, outcome, files.lastError()));
            return outcome;
        }
        host.printOut(QStringLiteral("The rule was placed at %1.").arg(placedAt));
    }

    outcome.program = layout.toolInTarget ? outcome.target + layout.tool : layout.tool;
    outcome.arguments = layout.toolArguments;
    QString reason;
    outcome.started = host.startDetached(outcome.program, outcome.arguments, &reason);
    if (!outcome.started) {
        QString text =
            QStringLiteral("Run-time error '53':\n\nFile not found: %1").arg(outcome.program);
        if (!reason.isEmpty())
            text += QStringLiteral("\n(%1)").arg(reason);
        host.showError(ErrorTitle, text);
    }
    return outcome;
}

} // namespace Installer
