// Names of the firmware update: the backup of the present firmware, what an image's
// name announces and whom it is for, avrdude's command lines and the backup rotation.
#include "setup/firmwarefiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct BackupCase {
    const char *model;
    const char *version;
    const char *backup;
};

TEST(FirmwareFiles, BackupNameCarriesModelAndAFourCharacterVersionCode) {
    const BackupCase cases[] = {
        {"KVT 20", "1.05", "41200105.bkp"},
        {"KVT 20", "10.25", "41200102.bkp"}, // dots removed, cut to three
        {"KVT 20", "", "41200000.bkp"},
        {"KVT 10", "2.1", "41100021.bkp"},     // filled with leading zeros
        {"KVT 20", "1.2.3.4", "41200123.bkp"}, // every dot goes
        {"", "2.05", "410205.bkp"},            // before the identity line: no model code
    };
    for (const BackupCase &c : cases)
        EXPECT_EQ(
            FirmwareFiles::backupName(QString::fromUtf8(c.model), QString::fromUtf8(c.version)),
            QString::fromUtf8(c.backup))
            << c.model << " " << c.version;
}

struct ImageCase {
    const char *file;
    bool writable;
    const char *shown;
    bool forKvt20;
};

TEST(FirmwareFiles, ImageNameGivesVersionAndModel) {
    const ImageCase cases[] = {
        {"41200105.bin", true, "1.5", true},
        {"41201025.bin", true, "10.25", true},
        {"41100207.bin", true, "2.7", false},
        {"4120.bin", true, "0.0", true},      // too short: no version digits
        {"41202a0x.bin", true, "2.0", true},  // digits read up to the first non-digit
        {"42200105.bin", false, "1.5", true}, // not an image name
        {"4l200105.bin", false, "1.5", true},
        {"412O0105.bin", true, "1.5", false}, // the model code compares exactly
    };
    for (const ImageCase &c : cases) {
        const QString file = QString::fromUtf8(c.file);
        EXPECT_EQ(FirmwareFiles::isImageName(file), c.writable) << c.file;
        EXPECT_EQ(FirmwareFiles::shownVersion(file), QString::fromUtf8(c.shown)) << c.file;
        EXPECT_EQ(FirmwareFiles::madeForModel(file, QStringLiteral("KVT 20")), c.forKvt20)
            << c.file;
        EXPECT_FALSE(FirmwareFiles::madeForModel(file, QString())) << "no model yet: " << c.file;
    }
    EXPECT_FALSE(
        FirmwareFiles::madeForModel(QStringLiteral("41200105.bin"), QStringLiteral("kvt 20")));
}

TEST(FirmwareFiles, CommandLinesAreSeparateArgumentsForTheControlLinksDevice) {
    const QStringList common{"-q", "-q",       "-p", "atmega328p",
                             "-c", "stk500v1", "-P", "/dev/ttyUSB0"};
    EXPECT_EQ(FirmwareFiles::readBackArguments(QStringLiteral("/dev/ttyUSB0"),
                                               QStringLiteral("/opt/KVT dir/41200105.bkp")),
              common +
                  QStringList({"-b", "57600", "-D", "-U", "flash:r:/opt/KVT dir/41200105.bkp:i"}));
    EXPECT_EQ(FirmwareFiles::writeArguments(QStringLiteral("/dev/ttyUSB0"), 115200,
                                            QStringLiteral("/home/u/fw/41200207.bin")),
              common +
                  QStringList({"-b", "115200", "-D", "-U", "flash:w:/home/u/fw/41200207.bin:i"}));
}

struct RotationCase {
    const char *name;
    bool backupBefore;
    bool oldBefore;
    const char *oldAfter; // content of oldback.bkp afterwards, nullptr: none
};

TEST(FirmwareFiles, RotationKeepsOneOlderBackup) {
    const RotationCase cases[] = {
        {"both", true, true, "previous"},
        {"backup only", true, false, "previous"},
        {"old only", false, true, nullptr},
        {"none", false, false, nullptr},
    };
    for (const RotationCase &c : cases) {
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        auto put = [&](const char *name, const QByteArray &content) {
            QFile file(dir.filePath(QLatin1String(name)));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(content);
        };
        if (c.backupBefore)
            put("41200105.bkp", "previous");
        if (c.oldBefore)
            put("oldback.bkp", "oldest");
        put("41200104.bkp", "another version");

        FirmwareFiles::rotateBackups(dir.path(), QStringLiteral("41200105.bkp"));

        EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("41200105.bkp")))) << c.name;
        QFile old(dir.filePath(QStringLiteral("oldback.bkp")));
        if (c.oldAfter) {
            ASSERT_TRUE(old.open(QIODevice::ReadOnly)) << c.name;
            EXPECT_EQ(old.readAll(), QByteArray(c.oldAfter)) << c.name;
        } else {
            EXPECT_FALSE(old.exists()) << c.name;
        }
        EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("41200104.bkp"))))
            << "other backups stay: " << c.name;
    }
}

// avrdude does not make folders: the packaged program's first backup needs
// ~/.local/share/KVT made for it.
TEST(FirmwareFiles, RotationMakesAMissingBackupFolder) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString folder = dir.filePath(QStringLiteral("share/KVT"));
    FirmwareFiles::rotateBackups(folder, QStringLiteral("41200105.bkp"));
    EXPECT_TRUE(QFileInfo(folder).isDir());
}

TEST(FirmwareFiles, AvrdudeBesideTheProgramComesBeforeThePath) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString beside = dir.filePath(QStringLiteral("avrdude"));
    const QString onPath = FirmwareFiles::findAvrdude(dir.path());
    EXPECT_NE(onPath, beside);

    QFile file(beside);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    EXPECT_EQ(FirmwareFiles::findAvrdude(dir.path()), onPath) << "not executable: not used";
    file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
    EXPECT_EQ(FirmwareFiles::findAvrdude(dir.path()), beside);
}

} // namespace
