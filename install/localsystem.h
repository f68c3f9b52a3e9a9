// The real seams of the installer: files on the local disk and the desktop session.
#pragma once

#include "install/installer.h"

namespace Installer {

// Files on the local disk. Absolute paths are taken below root ("/" in the program; a
// temporary folder in tests), relative paths from currentFolder.
class LocalFiles : public InstallerFiles {
public:
    LocalFiles(const QString &root, const QString &currentFolder);

    FileResult copyFile(const QString &from, const QString &to) override;
    FileResult checkFolder(const QString &folder) override;
    QString lastError() const override { return m_lastError; }

    QString localPath(const QString &path) const;

private:
    QString m_root;
    QString m_currentFolder;
    QString m_lastError;
};

// Starts programs detached and reports on the terminal: used where no window can be
// shown (no display: over ssh, on a console), so an error goes to standard error.
class TerminalHost : public InstallerHost {
public:
    bool startDetached(const QString &program, const QStringList &arguments,
                       QString *reason) override;
    void showError(const QString &title, const QString &text) override;
    void printOut(const QString &line) override;
    void printError(const QString &line) override;
    void endProgram() override;
};

// As TerminalHost, but shows errors in a message box.
class DesktopHost : public TerminalHost {
public:
    void showError(const QString &title, const QString &text) override;
};

} // namespace Installer
