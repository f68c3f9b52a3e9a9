#include "setup/firmwarefiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace FirmwareFiles {

namespace {
// The number at the start of `text`, as the image names are read: leading digits,
// nothing (or no digit) reads as 0.
int leadingNumber(QStringView text) {
    int value = 0;
    for (QChar c : text) {
        if (!c.isDigit())
            break;
        value = value * 10 + c.digitValue();
    }
    return value;
}

QStringList commonArguments(const QString &device, int baud) {
    return {QStringLiteral("-q"), QStringLiteral("-q"),
            QStringLiteral("-p"), QStringLiteral("atmega328p"),
            QStringLiteral("-c"), QStringLiteral("stk500v1"),
            QStringLiteral("-P"), device,
            QStringLiteral("-b"), QString::number(baud),
            QStringLiteral("-D"), QStringLiteral("-U")};
}
} // namespace

bool isImageName(const QString &fileName) {
    return fileName.startsWith(QLatin1String("41"));
}

QString shownVersion(const QString &fileName) {
    const QStringView name(fileName);
    return QStringLiteral("%1.%2")
        .arg(leadingNumber(name.mid(4, 2)))
        .arg(leadingNumber(name.mid(6, 2)));
}

bool madeForModel(const QString &fileName, const QString &modelName) {
    return QStringLiteral("KVT ") + fileName.mid(2, 2) == modelName;
}

QString versionCode(const QString &firmwareVersion) {
    QString code = firmwareVersion;
    code.remove(QLatin1Char('.'));
    return code.left(3).rightJustified(4, QLatin1Char('0'));
}

QString backupName(const QString &modelName, const QString &firmwareVersion) {
    return QStringLiteral("41") + modelName.right(2) + versionCode(firmwareVersion) +
           QStringLiteral(".bkp");
}

void rotateBackups(const QString &folder, const QString &backupName) {
    const QDir dir(folder);
    // The packaged program's backup folder (~/.local/share/KVT) appears with the
    // first backup; avrdude would not create it.
    dir.mkpath(QStringLiteral("."));
    const QString old = dir.filePath(QLatin1String(OldBackupName));
    if (QFile::exists(old))
        QFile::remove(old);
    const QString backup = dir.filePath(backupName);
    if (QFile::exists(backup))
        QFile::rename(backup, old);
}

QString findAvrdude(const QString &programFolder) {
#ifdef Q_OS_WIN
    const QString name = QStringLiteral("avrdude.exe");
#else
    const QString name = QStringLiteral("avrdude");
#endif
    const QFileInfo beside(QDir(programFolder).filePath(name));
    if (beside.isFile() && beside.isExecutable())
        return beside.absoluteFilePath();
    return QStandardPaths::findExecutable(QStringLiteral("avrdude"));
}

QStringList readBackArguments(const QString &device, const QString &backupPath) {
    return commonArguments(device, 57600)
           << QStringLiteral("flash:r:") + backupPath + QStringLiteral(":i");
}

QStringList writeArguments(const QString &device, int bootloaderBaud, const QString &imagePath) {
    return commonArguments(device, bootloaderBaud)
           << QStringLiteral("flash:w:") + imagePath + QStringLiteral(":i");
}

} // namespace FirmwareFiles
