#include "link/filelocations.h"

#include <QDir>
#include <QFileInfo>

namespace {

QString baseFolder(const QString &variable, const QString &homeFolder, const char *fallback) {
    if (!variable.isEmpty() && QDir::isAbsolutePath(variable))
        return variable;
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
    files.settingsFolder = QDir::cleanPath(
        QDir(baseFolder(environment("XDG_CONFIG_HOME"), homeFolder, ".config")).filePath(kvt));
    files.backupFolder = QDir::cleanPath(
        QDir(baseFolder(environment("XDG_DATA_HOME"), homeFolder, ".local/share")).filePath(kvt));
    return files;
}
