// Test doubles for the installer's seams: a Windows-like file system in memory and a
// host that records what was started, shown and ended.
#pragma once

#include "install/installer.h"

#include <QMap>
#include <QSet>

namespace InstallerTest {

// Paths are compared without case, as on Windows; a relative path lies in the
// current folder. A copy fails with PathNotFound when a folder on either side is
// missing, FileNotFound when the source is missing, OtherError on a denied path.
class FakeWindowsFiles : public Installer::InstallerFiles {
public:
    explicit FakeWindowsFiles(const QString &currentFolder = QStringLiteral("c:\\kvt\\"))
        : m_currentFolder(currentFolder) {
        addFolder(currentFolder);
    }

    void addFolder(const QString &folder) { m_folders.insert(key(folder)); }
    void addFile(const QString &path, const QByteArray &content) {
        addFolder(folderOf(full(path)));
        m_files.insert(key(path), content);
    }
    void deny(const QString &path) { m_denied.insert(key(path)); }

    bool has(const QString &path) const { return m_files.contains(key(path)); }
    QByteArray content(const QString &path) const { return m_files.value(key(path)); }
    // Every path a copy wrote, in order.
    QStringList written() const { return m_written; }

    Installer::FileResult copyFile(const QString &from, const QString &to) override {
        using Installer::FileResult;
        if (!m_folders.contains(folderOf(key(from))))
            return FileResult::PathNotFound;
        if (!m_files.contains(key(from)))
            return FileResult::FileNotFound;
        if (!m_folders.contains(folderOf(key(to))))
            return FileResult::PathNotFound;
        if (m_denied.contains(key(from)) || m_denied.contains(key(to)))
            return FileResult::OtherError;
        m_files.insert(key(to), m_files.value(key(from)));
        m_written.append(key(to));
        return FileResult::Ok;
    }

    Installer::FileResult checkFolder(const QString &folder) override {
        return m_folders.contains(key(folder)) ? Installer::FileResult::Ok
                                               : Installer::FileResult::PathNotFound;
    }

private:
    QString full(const QString &path) const {
        return path.contains(QLatin1Char(':')) ? path : m_currentFolder + path;
    }
    QString key(const QString &path) const { return full(path).toLower(); }
    static QString folderOf(const QString &path) {
        return path.left(path.lastIndexOf(QLatin1Char('\\')) + 1);
    }

    QString m_currentFolder;
    QSet<QString> m_folders;
    QMap<QString, QByteArray> m_files;
    QSet<QString> m_denied;
    QStringList m_written;
};

class RecordingHost : public Installer::InstallerHost {
public:
    struct Start {
        QString program;
        QStringList arguments;
    };
    struct Message {
        QString title;
        QString text;
    };

    bool canStart = true;
    QList<Start> starts;
    QList<Message> messages;
    int ends = 0;

    bool startDetached(const QString &program, const QStringList &arguments,
                       QString *reason) override {
        starts.append({program, arguments});
        if (!canStart && reason)
            *reason = QStringLiteral("No such file or directory");
        return canStart;
    }
    void showError(const QString &title, const QString &text) override {
        messages.append({title, text});
    }
    void printOut(const QString &line) override { out.append(line); }
    void printError(const QString &line) override { err.append(line); }
    void endProgram() override { ++ends; }
    QStringList out, err; // lines printed on standard output and standard error
};

} // namespace InstallerTest
