// The installer's window. Its load step does all the work and ends the program, so in
// normal use the window is never shown.
#pragma once

#include "install/installer.h"

#include <QWidget>

class QPushButton;

namespace Installer {

class InstallerWindow : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY(InstallerWindow)

public:
    InstallerWindow(const InstallerLayout &layout, InstallerFiles &files, InstallerHost &host,
                    QWidget *parent = nullptr);

    // Runs the installation and ends the program. Returns the exit status (exitStatus):
    // 0, or 1 when the registration tool could not be started or, on Linux, the rule
    // could not be placed.
    int load();

    const InstallOutcome &outcome() const { return m_outcome; }

private:
    InstallerLayout m_layout;
    InstallerFiles &m_files;
    InstallerHost &m_host;
    InstallOutcome m_outcome;

    QPushButton *m_installButton; // Install button: has no action
    QPushButton *m_exitButton;    // Exit button: ends the program at once
};

} // namespace Installer
