// The installer: places the serial-port component and starts its registration, then
// ends without showing its window.
#include "install/installerwindow.h"
#include "install/localsystem.h"

#include <QApplication>
#include <QDir>

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
#ifdef Q_OS_WIN
    const Installer::InstallerLayout layout = Installer::windowsLayout();
    Installer::LocalFiles files(QString(), QDir::currentPath());
#else
    Installer::InstallerLayout layout =
        Installer::linuxLayout(QCoreApplication::applicationDirPath());
    layout.selfPath = QCoreApplication::applicationFilePath();
    Installer::LocalFiles files(QStringLiteral("/"), QDir::currentPath());
#endif
    Installer::DesktopHost host;
    Installer::InstallerWindow form(layout, files, host);
    return form.load();
}
