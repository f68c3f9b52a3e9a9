#include "instrument/settingsfile.h"

#include "link/devicestate.h"
#include "link/numbers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStringList>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace SettingsFile {
namespace {

// The file is five short lines; anything much larger is not ours, and reading it
// whole would let a stray file take unbounded memory.
constexpr qint64 MaxFileBytes = 64 * 1024;
constexpr int LineCount = 5;
constexpr qsizetype PortValueStart = 9; // the character after "COM Port="
constexpr qsizetype PortValueLength = 50;

constexpr int16_t DefaultPort = 2;
constexpr int32_t DefaultBaud = 57600;

// Lines as a line-by-line reader sees them: CR LF, LF and CR all end a line, and a
// last line without an ending still counts.
QStringList splitLines(const QString &text) {
    static const QRegularExpression lineEnd(QStringLiteral("\r\n|\r|\n"));
    QStringList lines = text.split(lineEnd);
    // A line end closes its line: only text after the last one makes a further line.
    if (!lines.isEmpty() && lines.constLast().isEmpty())
        lines.removeLast();
    return lines;
}

// Opens the file for reading only when it is a regular file, directly or behind a
// link. Anything else in its place counts as no file: a FIFO would hold the start-up
// until some program wrote into it, and a device gives bytes that are not settings.
// On Unix the type is taken from the opened descriptor (opened without waiting for a
// FIFO's writer), so nothing can be swapped in between the test and the read.
bool openRegularFile(QFile &file, const QString &path) {
#ifdef Q_OS_UNIX
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
        !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    return true;
#else
    return QFileInfo(path).isFile() && file.open(QIODevice::ReadOnly);
#endif
}

// Reads the values in file order, storing each as soon as it is read, so a failure
// part-way leaves the earlier values stored (the caller then applies the defaults).
bool readValues(const QString &path, DeviceState &state,
                const std::function<bool(int)> &speedAccepted) {
    QFile file;
    if (!openRegularFile(file, path))
        return false;
    const QByteArray bytes = file.read(MaxFileBytes + 1);
    if (bytes.size() > MaxFileBytes)
        return false;
    const QStringList lines = splitLines(QString::fromLocal8Bit(bytes));
    if (lines.isEmpty())
        return false;

    // Line 1: "COM Port=" is not checked; the port is whatever stands after it.
    const auto port = Numbers::toInt16(
        Numbers::leadingValue(QStringView(lines[0]).mid(PortValueStart, PortValueLength)));
    if (!port)
        return false;
    state.portNumber = *port;

    if (lines.size() < 2)
        return false;
    const auto highest = Numbers::toInt32(Numbers::leadingValue(lines[1]));
    if (!highest)
        return false;
    state.highestDeviceId = *highest;

    // Line 3 ("SP=TOLK") must be there but is never interpreted.
    if (lines.size() < 4)
        return false;
    // A speed the slider refuses is not stored, so telegraphSpeed and the slider
    // never disagree and the refused value is not written back on exit.
    const auto speed = Numbers::toInt16(Numbers::leadingValue(lines[3]));
    if (!speed || !speedAccepted || !speedAccepted(*speed))
        return false;
    state.telegraphSpeed = *speed;

    if (lines.size() < LineCount)
        return false;
    const auto baud = Numbers::toInt32(Numbers::leadingValue(lines[4]));
    if (!baud)
        return false;
    state.bootloaderBaud = *baud;
    return true;
}

} // namespace

bool read(const QString &path, DeviceState &state, const std::function<bool(int)> &speedAccepted) {
    if (readValues(path, state, speedAccepted))
        return true;
    state.portNumber = DefaultPort;
    state.bootloaderBaud = DefaultBaud;
    return false;
}

QByteArray format(const DeviceState &state) {
    const QString crlf = QStringLiteral("\r\n");
    const QString text = QStringLiteral("COM Port=") + Numbers::plain(qint64{state.portNumber}) +
                         crlf + Numbers::printed(state.highestDeviceId) + crlf +
                         QStringLiteral("SP=TOLK") + crlf + Numbers::printed(state.telegraphSpeed) +
                         crlf + Numbers::printed(state.bootloaderBaud) + crlf;
    return text.toLocal8Bit();
}

bool write(const QString &path, const DeviceState &state, QString *error) {
    // Only a regular file is replaced, also behind a link (the user may keep the file
    // elsewhere on purpose). The saved file is renamed over its target, so a device,
    // FIFO, socket or folder in that place would itself be replaced: it is left alone.
    const QFileInfo existing(path);
    if (existing.exists() && !existing.isFile()) {
        if (error)
            *error = QStringLiteral("not a regular file");
        return false;
    }
    // The packaged program keeps the file in ~/.config/KVT, which does not exist
    // before the first save. When it cannot be made, opening below says why.
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    auto fail = [&] {
        if (error)
            *error = file.errorString();
        return false;
    };
    if (!file.open(QIODevice::WriteOnly))
        return fail();
    const QByteArray bytes = format(state);
    if (file.write(bytes) != bytes.size()) {
        const bool failed = fail();
        file.cancelWriting();
        file.commit(); // discards the temporary file; the old one stays
        return failed;
    }
    if (!file.commit())
        return fail();
    return true;
}

} // namespace SettingsFile
