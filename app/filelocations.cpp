#include "app/filelocations.h"

#include <QDir>
#include <QFileInfo>

namespace {

// The XDG base folder `variable` names, or `fallback` in the home folder; empty when
// neither is known.
QString baseFolder(const QString &variable, const QString &homeFolder, const char *fallback) {
    if (!variable.isEmpty() && QDir::isAbsolutePath(variable))
        return variable;
    if (homeFolder.isEmpty() || !QDir::isAbsolutePath(homeFolder))
        return {};
    return QDir(homeFolder).filePath(QLatin1String(fallback));
}

} // namespace

FileLocations FileLocations::locate(const QString &programFolder, const QString &homeFolder,
                                    const std::function<QString(const char *)> &environment) {
    FileLocations files;
    files.programFolder = programFolder;
    files.perUser = QFileInfo(QDir(programFolder).filePath(QLatin1String(PackageMarker))).isFile();
    if (!files.perUser) {
        files.settingsFolder = programFolder;
        files.backupFolder = programFolder;
        return files;
    }
    const QString kvt = QStringLiteral("KVT");
    const QString config = baseFolder(environment("XDG_CONFIG_HOME"), homeFolder, ".config");
    const QString data = baseFolder(environment("XDG_DATA_HOME"), homeFolder, ".local/share");
    if (config.isEmpty() || data.isEmpty()) {
        // Without a home the files would land in /.config and /.local/share, or beside
        // whatever the current folder is: better to say so than to write there.
        files.error = QStringLiteral(
            "HOME is not set to an absolute folder, and XDG_CONFIG_HOME and XDG_DATA_HOME "
            "do not both name one: there is no folder for the settings and backups");
        return files;
    }
    files.settingsFolder = QDir::cleanPath(QDir(config).filePath(kvt));
    files.backupFolder = QDir::cleanPath(QDir(data).filePath(kvt));
    return files;
}
