// Names of the firmware update: the backup of the present firmware, what an image's
// name announces and whom it is for, avrdude's command lines, the backup rotation and
// the check of an image's Intel HEX content.
#include "instrument/firmwarefiles.h"
#include "tests/support/intelhex.h"

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

// The identity line's characters reach the backup's name and avrdude's -U argument:
// only a plain name in the backup folder is used. Its version counts as the image's
// when major and minor agree as numbers, or when its code (as a backup's name is made)
// is the name's: "2.06b" and "206" go with 41200206, "1.3" with 41110013.
TEST(FirmwareFiles, IdentityCharactersAndVersionsAreCheckedBeforeUse) {
    const struct {
        const char *model;
        const char *version;
        bool usable;
    } names[] = {
        {"KVT 20", "2.05", true},  {"KVT 20", "../x", false}, {"KVT 20", "1:5", false},
        {"KVT 2/", "2.05", false}, {"", "2.05", false},       {"KVT 20", "2 05", false},
    };
    for (const auto &c : names)
        EXPECT_EQ(FirmwareFiles::isUsableBackupName(FirmwareFiles::backupName(
                      QString::fromUtf8(c.model), QString::fromUtf8(c.version))),
                  c.usable)
            << c.model << " " << c.version;

    const struct {
        const char *image;
        const char *running;
        bool same;
    } versions[] = {
        {"41200206.bin", "2.06", true},  {"41200206.bin", "2.6", true},
        {"41201025.bin", "10.25", true}, {"41200206.bin", "2.05", false},
        {"41200206.bin", "2.16", false}, {"41200206.bin", "", false},
        {"41200206.bin", "2.06b", true}, {"41200206.bin", "206", true},
        {"41110013.bkp", "1.3", true},   {"41200025.bkp", "2.5", true},
        {"41200102.bkp", "10.25", true}, {"41200207.bin", "2.7", true},
        {"41200102.bkp", "1.03", false},
    };
    for (const auto &c : versions)
        EXPECT_EQ(FirmwareFiles::runsImageVersion(QString::fromUtf8(c.image),
                                                  QString::fromUtf8(c.running)),
                  c.same)
            << c.image << " " << c.running;
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

TEST(FirmwareFiles, NewBackupTakesItsNameOnlyAfterTheRotation) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    auto put = [&](const char *name, const QByteArray &content) {
        QFile file(dir.filePath(QLatin1String(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    };
    auto content = [&](const char *name) {
        QFile file(dir.filePath(QLatin1String(name)));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(none)");
    };
    const QString k = QStringLiteral("41200105.bkp");
    EXPECT_EQ(FirmwareFiles::readBackName(k), QStringLiteral("41200105.bkp.part"));
    EXPECT_FALSE(FirmwareFiles::isBackupName(FirmwareFiles::readBackName(k)));
    EXPECT_FALSE(FirmwareFiles::isBackupName(FirmwareFiles::writeCopyName(k)));
    EXPECT_TRUE(FirmwareFiles::isBackupName(QStringLiteral("41200105.BKP")));
    put("41200105.bkp", "previous");
    put("oldback.bkp", "oldest");
    put("41200105.bkp.part", "new");
    EXPECT_TRUE(FirmwareFiles::installBackup(dir.path(), k, dir.filePath("41200105.bkp.part")));
    EXPECT_EQ(content("41200105.bkp"), QByteArray("new"));
    EXPECT_EQ(content("oldback.bkp"), QByteArray("previous"));
    EXPECT_FALSE(QFile::exists(dir.filePath("41200105.bkp.part")));
}

struct HexCase {
    const char *name;
    QByteArray content;
    bool backup;
    FirmwareFiles::ImageCheck::Fault fault;
    int line;
    qint64 address;
};

TEST(FirmwareFiles, ImageCheckNamesTheFirstBadLineAndKeepsTheBootSectionOut) {
    using Fault = FirmwareFiles::ImageCheck::Fault;
    const QByteArray good = intelhex::write(0, QByteArray(40, '\x5a')); // 3 records + end
    QByteArray badSum = good;
    const qsizetype lineTwo = good.indexOf('\n') + 1;
    badSum[lineTwo + 42] = badSum[lineTwo + 42] == '0' ? '1' : '0'; // its checksum digit
    const QByteArray twoLines = good.left(good.indexOf('\n', lineTwo) + 1);
    QByteArray crlf = good;
    crlf.replace("\n", "\r\n");
    const QByteArray end = intelhex::record(0, 1, {});
    const QByteArray acrossBoot = intelhex::write(0x77f8, QByteArray(16, '\x11'));
    const QByteArray above64k =
        intelhex::record(0, 4, QByteArray("\x00\x01", 2)) + intelhex::write(0, "x");
    const HexCase cases[] = {
        {"an image", good, false, Fault::None, 0, 0},
        {"CR LF line ends", crlf, false, Fault::None, 0, 0},
        {"checksum wrong on line 2", badSum, false, Fault::Checksum, 2, 0},
        {"not hex on line 3", twoLines + ":10zz\n" + end, false, Fault::NotARecord, 3, 0},
        {"record shorter than its length", ":10000000FF\n" + end, false, Fault::NotARecord, 1, 0},
        {"no colon", "hello\n", false, Fault::NotARecord, 1, 0},
        {"cut short: no end record", good.left(good.lastIndexOf(':')), false, Fault::NoEndRecord, 0,
         0},
        {"an empty file", {}, false, Fault::NoEndRecord, 0, 0},
        {"nothing but the end record", end, false, Fault::NoData, 1, 0},
        {"unknown record type", intelhex::record(0, 7, "ab") + good, false, Fault::UnknownRecord, 1,
         0},
        {"image reaching the bootloader", acrossBoot, false, Fault::InBootSection, 1, 0x7800},
        {"image above 64 KiB", above64k, false, Fault::InBootSection, 2, 0x10000},
        {"backup reaching the bootloader is trimmed", acrossBoot, true, Fault::None, 0, 0},
        {"backup with nothing below the bootloader", intelhex::write(0x7800, "boot"), true,
         Fault::NoData, 2, 0},
    };
    for (const HexCase &c : cases) {
        const FirmwareFiles::ImageCheck check = FirmwareFiles::checkImage(c.content, c.backup);
        EXPECT_EQ(check.fault, c.fault) << c.name;
        EXPECT_EQ(check.line, c.line) << c.name;
        EXPECT_EQ(check.address, c.address) << c.name;
    }

    // A backup is the whole flash; what goes back is its data below 0x7800 alone.
    QByteArray flash(32 * 1024, '\0');
    for (int i = 0; i < flash.size(); ++i)
        flash[i] = static_cast<char>(i * 13 + 1);
    const FirmwareFiles::ImageCheck backup =
        FirmwareFiles::checkImage(intelhex::write(0, flash), true);
    ASSERT_TRUE(backup.ok());
    const QByteArray written = intelhex::read(backup.trimmed, flash.size());
    EXPECT_EQ(written.left(0x7800), flash.left(0x7800));
    EXPECT_EQ(written.mid(0x7800), QByteArray(0x800, '\xff')) << "nothing of the bootloader";
    EXPECT_TRUE(FirmwareFiles::checkImage(backup.trimmed, false).ok())
        << "the trimmed copy passes an image's check";
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
