// The installer: places the serial-port component and starts its registration, then
// ends without showing its window. Without a display (over ssh, on a console) it does
// the same work with no window at all and reports on the terminal.
#include "install/installerwindow.h"
#include "install/localsystem.h"

#include <QApplication>
#include <QDir>

#include <memory>

int main(int argc, char *argv[]) {
#if defined(Q_OS_WIN) || defined(Q_OS_MACOS)
    const bool withWindow = true; // the desktop is always there
#else
    // QApplication would abort ("could not connect to display") before any work: decide
    // first, with only the environment to go on.
    const bool withWindow = Installer::windowSystemAvailable(
        [](const char *name) { return qEnvironmentVariable(name); });
#endif
    std::unique_ptr<QCoreApplication> app;
    if (withWindow)
        app = std::make_unique<QApplication>(argc, argv);
    else
        app = std::make_unique<QCoreApplication>(argc, argv);
#ifdef Q_OS_WIN
    const Installer::InstallerLayout layout = Installer::windowsLayout();
    Installer::LocalFiles files(QString(), QDir::currentPath());
#else
    Installer::InstallerLayout layout =
        Installer::linuxLayout(QCoreApplication::applicationDirPath());
    layout.selfPath = QCoreApplication::applicationFilePath();
    Installer::LocalFiles files(QStringLiteral("/"), QDir::currentPath());
#endif
    if (!withWindow) {
        Installer::TerminalHost host;
        return Installer::exitStatus(layout, Installer::runInstaller(layout, files, host));
    }
    Installer::DesktopHost host;
    Installer::InstallerWindow form(layout, files, host);
    return form.load();
}
