#include "install/localsystem.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QSaveFile>
#include <cstdio>

namespace Installer {

LocalFiles::LocalFiles(const QString &root, const QString &currentFolder)
    : m_root(QDir::fromNativeSeparators(root)),
      m_currentFolder(QDir::fromNativeSeparators(currentFolder)) {
    while (m_root.endsWith(QLatin1Char('/')))
        m_root.chop(1);
}

QString LocalFiles::localPath(const QString &path) const {
    const QString p = QDir::fromNativeSeparators(path);
    if (QDir::isRelativePath(p))
        return m_currentFolder + QLatin1Char('/') + p;
    // Only Unix-style absolute paths can be moved below a root; a drive path is used
    // as it is.
    return p.startsWith(QLatin1Char('/')) ? m_root + p : p;
}

FileResult LocalFiles::checkFolder(const QString &folder) {
    const QFileInfo info(localPath(folder));
    if (info.isDir())
        return FileResult::Ok;
    return info.exists() ? FileResult::OtherError : FileResult::PathNotFound;
}

FileResult LocalFiles::copyFile(const QString &from, const QString &to) {
    const QFileInfo source(localPath(from));
    const QFileInfo target(localPath(to));
    if (!QFileInfo(source.absolutePath()).isDir())
        return FileResult::PathNotFound;
    if (!source.exists())
        return FileResult::FileNotFound;
    if (!QFileInfo(target.absolutePath()).isDir())
        return FileResult::PathNotFound;

    m_lastError.clear();
    QFile in(source.filePath());
    if (!in.open(QIODevice::ReadOnly)) {
        m_lastError = in.errorString();
        return FileResult::OtherError;
    }
    // Written beside the target and renamed over it on commit: an existing file is
    // replaced whole or not at all, and a failed copy leaves no partial file behind.
    QSaveFile out(target.filePath());
    if (!out.open(QIODevice::WriteOnly)) {
        m_lastError = out.errorString();
        return FileResult::OtherError;
    }
    char buffer[64 * 1024];
    for (;;) {
        const qint64 n = in.read(buffer, sizeof buffer);
        if (n < 0)
            return FileResult::OtherError; // QSaveFile discards its temporary file
        if (n == 0)
            break;
        if (out.write(buffer, n) != n)
            return FileResult::OtherError;
    }
    if (!out.commit()) {
        m_lastError = out.errorString();
        return FileResult::OtherError;
    }
    // Keep the source's permissions, as a copy does, but never let others change a
    // file that a system service reads as root.
    QFile::setPermissions(target.filePath(), source.permissions() & ~(QFileDevice::WriteGroup |
                                                                      QFileDevice::WriteOther));
    return FileResult::Ok;
}

bool TerminalHost::startDetached(const QString &program, const QStringList &arguments,
                                 QString *reason) {
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    if (process.startDetached())
        return true;
    if (reason)
        *reason = process.errorString();
    return false;
}

void TerminalHost::showError(const QString &title, const QString &text) {
    // The message box's lines on one line of the terminal.
    printError(title + QStringLiteral(": ") + text.simplified());
}

void DesktopHost::showError(const QString &title, const QString &text) {
    QMessageBox::critical(nullptr, title, text);
}

void TerminalHost::printOut(const QString &line) {
    std::fprintf(stdout, "%s\n", line.toLocal8Bit().constData());
    std::fflush(stdout);
}

void TerminalHost::printError(const QString &line) {
    std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
    std::fflush(stderr);
}

void TerminalHost::endProgram() {
    QCoreApplication::exit(0);
}

} // namespace Installer
