// KVT.INI: the bytes are the file on disk, read as the main window reads it at start-up
// (the radiotelegraph slider accepts 1 to 300).
//
// Promises: a failed read leaves the defaults (port 2, 57600 bit/s); what the program
// holds after any read is written as a file that reads back to the same values and
// the same bytes (read(write(read x)) = read x).

#include "fuzzcheck.h"

#include "instrument/settingsfile.h"
#include "link/devicestate.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

bool sliderAccepts(int speed) {
    return speed >= 1 && speed <= 300;
}

// In memory where the system has it: every save ends with a sync to the disk.
const QString &settingsPath() {
    static const QTemporaryDir folder(QDir(QStringLiteral("/dev/shm")).exists()
                                          ? QStringLiteral("/dev/shm/kvt-fuzz-XXXXXX")
                                          : QDir::tempPath() + QStringLiteral("/kvt-fuzz-XXXXXX"));
    static const QString path = folder.filePath(QLatin1String(SettingsFile::FileName));
    return path;
}

void putFile(const QByteArray &bytes) {
    QFile file(settingsPath());
    FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    FUZZ_CHECK(file.write(bytes) == bytes.size());
}

// The main window's record before the file is read: the slider's own speed.
DeviceState beforeReading() {
    DeviceState state;
    state.telegraphSpeed = 12;
    return state;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    putFile(fuzzBytes(data, size));
    DeviceState first = beforeReading();
    if (!SettingsFile::read(settingsPath(), first, sliderAccepts))
        FUZZ_CHECK(first.portNumber == 2 && first.bootloaderBaud == 57600);
    FUZZ_CHECK(sliderAccepts(first.telegraphSpeed));

    QString error;
    FUZZ_CHECK(SettingsFile::write(settingsPath(), first, &error));
    DeviceState second = beforeReading();
    FUZZ_CHECK(SettingsFile::read(settingsPath(), second, sliderAccepts));
    FUZZ_CHECK(second.portNumber == first.portNumber &&
               second.highestDeviceId == first.highestDeviceId &&
               second.telegraphSpeed == first.telegraphSpeed &&
               second.bootloaderBaud == first.bootloaderBaud);
    FUZZ_CHECK(SettingsFile::format(second) == SettingsFile::format(first));
    return 0;
}
