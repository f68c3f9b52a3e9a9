// What the generator says after the port opens, as far as it names the backup of its
// firmware: the parser takes the identity line (handed over as it stands when nothing
// more arrives), and the firmware update builds the backup's name from the model and
// version in it, refuses the update when that name is unusable, and otherwise builds the
// path in the backup folder and avrdude's read-back arguments.
//
// Promises: a name taken stays in the backup folder (no separator, not "." or ".."), and
// no character of it changes avrdude's arguments: ":" would split the -U operand
// (memory:operation:file:format), and NUL would end the argument.

#include "fuzzcheck.h"

#include "instrument/firmwarefiles.h"
#include "link/devicestate.h"
#include "link/replyparser.h"

#include <QDir>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    DeviceState state;
    ReplyParser parser(state);
    parser.feed(fuzzBytes(data, size));
    parser.takeIdentity();
    if (!state.connected)
        return 0;

    const QString name = FirmwareFiles::backupName(state.modelName, state.firmwareVersion);
    if (!FirmwareFiles::isUsableBackupName(name))
        return 0; // the update is refused, naming the unusable version
    for (QChar c : name)
        FUZZ_CHECK(c != u'/' && c != u'\\' && c != u':' && c != u'\0');
    FUZZ_CHECK(name != QLatin1String(".") && name != QLatin1String(".."));
    FUZZ_CHECK(FirmwareFiles::isBackupName(name));

    const QString folder = QStringLiteral("/home/user/.local/share/KVT");
    const QString path = QDir(folder).filePath(FirmwareFiles::readBackName(name));
    FUZZ_CHECK(QDir::cleanPath(path) == path);
    FUZZ_CHECK(path.startsWith(folder + QLatin1Char('/')));
    const QStringList arguments =
        FirmwareFiles::readBackArguments(QStringLiteral("/dev/ttyUSB0"), path);
    FUZZ_CHECK(arguments.size() == 13);
    FUZZ_CHECK(arguments.constLast() == QStringLiteral("flash:r:") + path + QStringLiteral(":i"));
    return 0;
}
