#include "instrument/firmwarefiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

#include <algorithm>
#include <cctype>
#include <vector>

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

bool isUsableBackupName(const QString &backupName) {
    static const QRegularExpression plain(QStringLiteral("^41[A-Za-z0-9]{6}\\.bkp$"));
    return plain.match(backupName).hasMatch();
}

std::optional<std::pair<int, int>> versionNumbers(const QString &version) {
    static const QRegularExpression numbers(QStringLiteral("^([0-9]{1,4})\\.([0-9]{1,4})$"));
    const QRegularExpressionMatch match = numbers.match(version);
    if (!match.hasMatch())
        return std::nullopt;
    return std::pair{match.captured(1).toInt(), match.captured(2).toInt()};
}

bool runsImageVersion(const QString &imageName, const QString &firmwareVersion) {
    // A backup's name carries the version code of the firmware it was read from, which
    // is not always major and minor as two digits each ("1.3" -> 0013, "10.25" -> 0102):
    // the code itself is compared first, so that writing a backup back is judged by the
    // name it was given.
    const QString code = imageName.mid(4, 4);
    if (code.size() == 4 && versionCode(firmwareVersion) == code)
        return true;
    const auto running = versionNumbers(firmwareVersion);
    return running && running == versionNumbers(shownVersion(imageName));
}

bool isBackupName(const QString &fileName) {
    return fileName.endsWith(QLatin1String(".bkp"), Qt::CaseInsensitive);
}

QString readBackName(const QString &backupName) {
    return backupName + QStringLiteral(".part");
}

QString writeCopyName(const QString &backupName) {
    return backupName + QStringLiteral(".write");
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

bool installBackup(const QString &folder, const QString &backupName, const QString &readBackPath) {
    rotateBackups(folder, backupName);
    const QString backup = QDir(folder).filePath(backupName);
    return !QFile::exists(backup) && QFile::rename(readBackPath, backup);
}

QString heldName(const QString &backupName) {
    return QFileInfo(backupName).completeBaseName() + QStringLiteral("-held.bkp");
}

QString keptName(const QString &backupName) {
    return QFileInfo(backupName).completeBaseName() + QStringLiteral("-kept.bkp");
}

namespace {
// The held backups of a model ("41" + its two characters) in `dir`; none for a code
// that is not two letters or digits.
QStringList heldOf(const QDir &dir, QStringView modelCode) {
    static const QRegularExpression code(QStringLiteral("^[A-Za-z0-9]{2}$"));
    if (!code.match(modelCode).hasMatch())
        return {};
    // (Split so that "??-" is not read as a trigraph.)
    return dir.entryList({QStringLiteral("41%1????"
                                         "-held.bkp")
                              .arg(modelCode)},
                         QDir::Files, QDir::Name);
}
} // namespace

QString heldBackup(const QString &folder, const QString &modelCode) {
    const QDir dir(folder);
    const QStringList held = heldOf(dir, modelCode);
    return held.isEmpty() ? QString() : dir.filePath(held.first());
}

bool holdBeforeFailedWrite(const QString &folder, const QString &backupName) {
    const QDir dir(folder);
    if (!heldOf(dir, QStringView(backupName).mid(2, 2)).isEmpty())
        return true;
    return QFile::copy(dir.filePath(backupName), dir.filePath(heldName(backupName)));
}

void releaseHeld(const QString &folder, const QString &modelCode) {
    const QDir dir(folder);
    for (const QString &held : heldOf(dir, modelCode)) {
        const QString kept = dir.filePath(keptName(held.left(8)));
        QFile::remove(kept);
        QFile::rename(dir.filePath(held), kept);
    }
}

qint64 transferMs(qint64 bytes, int baud) {
    if (bytes <= 0)
        return 0;
    if (baud <= 0)
        return LongestTransferMs;
    return std::min(LongestTransferMs, bytes * 10 * 1000 / baud);
}

namespace {
// Data records of up to 16 bytes for the bytes present in `memory`, then the end record.
QByteArray hexOf(const QByteArray &memory, const std::vector<bool> &present) {
    auto record = [](int address, quint8 type, QByteArrayView data) {
        QByteArray bytes;
        bytes += static_cast<char>(data.size());
        bytes += static_cast<char>(address >> 8);
        bytes += static_cast<char>(address & 0xff);
        bytes += static_cast<char>(type);
        bytes += data;
        quint8 sum = 0;
        for (char c : bytes)
            sum = static_cast<quint8>(sum + static_cast<quint8>(c));
        bytes += static_cast<char>(-sum);
        return ':' + bytes.toHex().toUpper() + '\n';
    };
    QByteArray text;
    int at = 0;
    const int size = static_cast<int>(memory.size());
    while (at < size) {
        if (!present[static_cast<std::size_t>(at)]) {
            ++at;
            continue;
        }
        int end = at;
        while (end < size && end - at < 16 && present[static_cast<std::size_t>(end)])
            ++end;
        text += record(at, 0, QByteArrayView(memory).sliced(at, end - at));
        at = end;
    }
    return text + record(0, 1, {});
}
} // namespace

ImageCheck checkImage(const QByteArray &content, bool trimBootSection) {
    ImageCheck check;
    QByteArray memory(BootSectionStart, '\xff');
    std::vector<bool> present(BootSectionStart, false);
    bool anyData = false;
    qint64 base = 0; // from extended segment (02) and linear (04) address records
    int lineNumber = 0;
    for (qsizetype from = 0; from < content.size();) {
        qsizetype to = content.indexOf('\n', from);
        if (to < 0)
            to = content.size();
        QByteArrayView line = QByteArrayView(content).sliced(from, to - from).trimmed();
        from = to + 1;
        ++lineNumber;
        if (line.isEmpty())
            continue;
        auto fail = [&](ImageCheck::Fault fault) {
            check.fault = fault;
            check.line = lineNumber;
            return check;
        };
        const QByteArrayView digits = line.sliced(1);
        bool hex = line.startsWith(':') && digits.size() >= 10 && digits.size() % 2 == 0;
        for (char c : digits)
            hex = hex && std::isxdigit(static_cast<unsigned char>(c));
        if (!hex)
            return fail(ImageCheck::Fault::NotARecord);
        const QByteArray bytes = QByteArray::fromHex(digits.toByteArray());
        const int length = static_cast<quint8>(bytes.at(0));
        if (bytes.size() != 5 + length)
            return fail(ImageCheck::Fault::NotARecord);
        quint8 sum = 0;
        for (char c : bytes)
            sum = static_cast<quint8>(sum + static_cast<quint8>(c));
        if (sum != 0)
            return fail(ImageCheck::Fault::Checksum);
        const int type = static_cast<quint8>(bytes.at(3));
        const qint64 offset =
            static_cast<quint8>(bytes.at(1)) << 8 | static_cast<quint8>(bytes.at(2));
        auto word = [&] {
            return length == 2
                       ? static_cast<quint8>(bytes.at(4)) << 8 | static_cast<quint8>(bytes.at(5))
                       : -1;
        };
        switch (type) {
        case 0:
            for (int i = 0; i < length; ++i) {
                const qint64 address = base + offset + i;
                if (address >= BootSectionStart) {
                    if (trimBootSection)
                        continue;
                    check.address = address;
                    return fail(ImageCheck::Fault::InBootSection);
                }
                memory[address] = bytes.at(4 + i);
                if (!present[static_cast<std::size_t>(address)])
                    ++check.dataBytes;
                present[static_cast<std::size_t>(address)] = true;
                anyData = true;
            }
            break;
        case 1:
            if (!anyData)
                return fail(ImageCheck::Fault::NoData);
            check.trimmed = hexOf(memory, present);
            return check;
        case 2:
        case 4:
            if (word() < 0)
                return fail(ImageCheck::Fault::NotARecord);
            base = type == 2 ? qint64{word()} << 4 : qint64{word()} << 16;
            break;
        case 3:
        case 5:
            break; // a start address: nothing to write
        default:
            return fail(ImageCheck::Fault::UnknownRecord);
        }
    }
    check.fault = ImageCheck::Fault::NoEndRecord;
    return check;
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
