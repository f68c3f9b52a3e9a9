#pragma once

#include <QString>
#include <QStringList>

// The files of a firmware update: the image names the firmware-update window accepts,
// the backup of the generator's present firmware in the backup folder, and the two
// avrdude command lines. Pure logic on names and files, no widgets.
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

// Before a read-back: removes oldback.bkp from `folder` and renames an existing backup
// `backupName` to it, so the read-back's own file is the only `backupName` there.
// Creates `folder` when it does not exist yet.
// Failures (a locked file) are ignored: the update goes on and judges by the result.
void rotateBackups(const QString &folder, const QString &backupName);

// avrdude beside the program first, then on the PATH; empty when there is none.
QString findAvrdude(const QString &programFolder);

// The read-back of the whole flash into `backupPath` (Intel HEX), always at 57600 bit/s.
QStringList readBackArguments(const QString &device, const QString &backupPath);
// The write of `imagePath` (Intel HEX) into the flash at the bootloader's rate.
QStringList writeArguments(const QString &device, int bootloaderBaud, const QString &imagePath);

} // namespace FirmwareFiles
