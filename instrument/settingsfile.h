#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

struct DeviceState;

// KVT.INI (beside the program, or in the user's settings folder): five lines, CR LF, in a fixed
// order
//   COM Port=<port>
//   <highest device id, printed number>
//   SP=TOLK
//   <radiotelegraph speed, printed number>
//   <bootloader baud, printed number>
namespace SettingsFile {

inline constexpr const char *FileName = "KVT.INI";

// Reads the file into portNumber, highestDeviceId, telegraphSpeed and bootloaderBaud.
// On any failure (missing file, fewer than five lines, a value that does not fit its
// field, a speed the slider refuses, something other than a regular file in its
// place) portNumber becomes 2 and bootloaderBaud 57600; highestDeviceId and
// telegraphSpeed keep whatever was stored before the failure.
// Returns true when the whole file was read.
bool read(const QString &path, DeviceState &state, const std::function<bool(int)> &speedAccepted);

// The five lines as the program writes them.
QByteArray format(const DeviceState &state);

// Writes the file atomically: a temporary file beside it is written and then
// replaces the old one, so a failed write never loses the user's settings. A missing
// folder is created first. A link is written through to its target; when the file or
// the link's target is not a regular file (a device, FIFO, socket or folder) nothing
// is written. On failure `error` (when given) receives the reason.
bool write(const QString &path, const DeviceState &state, QString *error = nullptr);

} // namespace SettingsFile
