#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>
#include <utility>

// The files of a firmware update: the image names the firmware-update window accepts,
// the check of an image's Intel HEX content, the backup of the generator's present
// firmware in the backup folder, and the two avrdude command lines. Pure logic on
// names and files, no widgets.
namespace FirmwareFiles {

// The one older backup kept beside the new one.
inline constexpr char OldBackupName[] = "oldback.bkp";

// Image names look like 41MMJJNN.bin: "41", the model code MM (as in "KVT MM"), the
// major version JJ and the minor version NN. Only names beginning "41" can be written.
bool isImageName(const QString &fileName);
// The version an image's name announces, major "." minor in plain decimal
// ("41200105.bin" -> "1.5").
QString shownVersion(const QString &fileName);
// Whether the image was made for the connected model ("KVT " + MM, exact).
bool madeForModel(const QString &fileName, const QString &modelName);

// The four-character version code of a firmware version text: dots removed, cut to
// three characters, filled with leading zeros ("1.05" -> "0105", "10.25" -> "0102").
QString versionCode(const QString &firmwareVersion);
// The backup of the present firmware: "41" + the model's last two characters + the
// version code + ".bkp" ("KVT 20", "1.05" -> "41200105.bkp").
QString backupName(const QString &modelName, const QString &firmwareVersion);

// Whether a backup name built from the generator's identity is one plain file name
// in the backup folder that avrdude's -U argument takes as it is: "41", six letters or
// digits, ".bkp". The identity line's characters reach it, so "KVT20v../x" or a
// version with ":" would otherwise name a path elsewhere or change avrdude's arguments.
bool isUsableBackupName(const QString &backupName);

// The major and minor number of a version text, "2.06" -> {2, 6}; nullopt when it is
// not two runs of digits joined by one ".".
std::optional<std::pair<int, int>> versionNumbers(const QString &version);
// Whether the generator's version text names the version of the image's name: its
// version code (as a backup's name is made) equals characters 5-8 ("1.3" for
// 41110013.bkp), or major and minor agree as numbers ("2.7" for 41200207.bin).
bool runsImageVersion(const QString &imageName, const QString &firmwareVersion);

// Whether a file name is that of a backup (a read-back of the whole flash), which is
// trimmed to the application section before it is written back.
bool isBackupName(const QString &fileName);
// The name the read-back writes first, in the backup folder; it becomes `backupName`
// only once the read-back has ended well, so a failed one never costs a backup.
QString readBackName(const QString &backupName);
// The name of the trimmed copy of a backup that is about to be written back.
QString writeCopyName(const QString &backupName);

// Removes oldback.bkp from `folder` and renames an existing backup `backupName` to it.
// Creates `folder` when it does not exist yet. Failures (a locked file) are ignored
// here; installBackup tells whether it worked.
void rotateBackups(const QString &folder, const QString &backupName);
// After a read-back into `readBackPath` that ended well: rotates (as rotateBackups)
// and gives the new file the name `backupName`. False when the new backup could not
// take its name; the earlier backups are then where rotateBackups left them.
bool installBackup(const QString &folder, const QString &backupName, const QString &readBackPath);

// After a write that failed, the backup taken before it (the firmware the generator
// ran before the attempt) is held apart as 41MMJJNN-held.bkp, so the read-backs of
// later attempts, which find changed firmware, never rotate it away. While a held
// backup of the model (41MM) is there, no other is held. Once a write has succeeded,
// a held backup becomes 41MMJJNN-kept.bkp (replacing one of that name) and the next
// failed write holds its own. Both names are offered as backups of that version.
QString heldName(const QString &backupName);
QString keptName(const QString &backupName);
// The path of the model's held backup in `folder`, or empty when none is held.
QString heldBackup(const QString &folder, const QString &modelCode);
// Holds a copy of `backupName` after a failed write unless a backup of the model is
// held already. False when no copy could be made.
bool holdBeforeFailedWrite(const QString &folder, const QString &backupName);
// After a good write of the model `modelCode` (two characters): its held backups
// become kept ones.
void releaseHeld(const QString &folder, const QString &modelCode);

// How long moving `bytes` takes at `baud` (10 bits a byte, as the serial line sends
// them), in ms; bounded so that a nonsense rate cannot make a bound that never ends.
qint64 transferMs(qint64 bytes, int baud);
inline constexpr qint64 LongestTransferMs = 3600 * 1000;
// The whole flash, as the read-back moves it.
inline constexpr qint64 FlashBytes = 32 * 1024;

// The ATmega328P's bootloader lies from here to the end of its 32 KiB flash; an
// image may hold data only below it, and the bootloader cannot overwrite itself.
inline constexpr int BootSectionStart = 0x7800;
// Anything larger is no image of a 32 KiB flash (Intel HEX takes under 3 characters
// per byte); it is refused before it is read whole.
inline constexpr qint64 LargestImageFile = 1024 * 1024;

// The check of an image's content before anything of an update changes.
struct ImageCheck {
    enum class Fault {
        None,
        NotARecord,    // a line that is not ":" and hex digits of a whole record
        Checksum,      // a record whose checksum is wrong
        UnknownRecord, // a record type Intel HEX does not have
        InBootSection, // data at BootSectionStart or above (an image, not a backup)
        NoEndRecord,   // the file ends without its end record
        NoData,        // nothing below the boot section to write
    };
    Fault fault = Fault::None;
    int line = 0;         // 1-based line of the fault; 0 when it is not one line's
    qint64 address = 0;   // InBootSection: the first address there
    qint64 dataBytes = 0; // the bytes to write (below the boot section)
    // The image to write for a backup: its data below BootSectionStart as Intel HEX.
    QByteArray trimmed;
    bool ok() const { return fault == Fault::None; }
};
// Checks Intel HEX `content`: every record well formed with a right checksum, an end
// record, and data only below the boot section. With `trimBootSection` (a backup)
// data at or above BootSectionStart is dropped instead of refused, and `trimmed`
// holds what is left.
ImageCheck checkImage(const QByteArray &content, bool trimBootSection);

// avrdude beside the program first, then on the PATH; empty when there is none.
QString findAvrdude(const QString &programFolder);

// The read-back of the whole flash into `backupPath` (Intel HEX), always at 57600 bit/s.
QStringList readBackArguments(const QString &device, const QString &backupPath);
// The write of `imagePath` (Intel HEX) into the flash at the bootloader's rate.
QStringList writeArguments(const QString &device, int bootloaderBaud, const QString &imagePath);

} // namespace FirmwareFiles
