// A set of the twelve presets in a file (Qt Core only): CSV in UTF-8, one row per
// preset with the seven fields of its K record, read and written here; the rules a
// row must keep before it may be sent, and what counts as a difference from the
// preset the generator holds. The Instrument, the presets window and the remote
// control use them.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <optional>

namespace PresetSetFile {

// The header line every file starts with (after an optional "#" line).
inline constexpr char Header[] = "preset,carrier_hz,tone_hz,mode,top_hz,step_hz,interval_s";
// Files above this size are refused unread: twelve rows take well under 1 KiB.
inline constexpr qsizetype MaxBytes = 64 * 1024;

// One preset: the seven fields of its K record, the mode as its number. `line` is the
// file line it came from (1 = the first line), 0 for a row that came from elsewhere.
struct Row {
    int number = 0;
    qint64 carrierHz = 0;
    qint64 toneHz = 0;
    int mode = 0;
    qint64 topHz = 0;
    qint64 stepHz = 0;
    qint64 intervalS = 0;
    int line = 0;
    bool operator==(const Row &) const = default;
};

// What is wrong with a file or a row: the line (0 for the file as a whole), the column
// by its header name (empty when the line as a whole is wrong) and what is wrong, in
// English as the remote control reports it. `source` and `args` make `what` again in
// the language of the moment (shownWhat()), so a window shows it in Czech once the
// captions are; `source` is a string literal marked for translation in the
// "PresetSetFile" context, or null where `what` came from elsewhere. The column names
// are the file's own header names and are never translated.
struct Problem {
    int line = 0;
    QString column;
    QString what;
    const char *source = nullptr;
    QStringList args;

    // `source` (marked with QT_TRANSLATE_NOOP("PresetSetFile", ...)) with `args` for its
    // %1, %2...: `what` in English, and the means to translate it when shown.
    static Problem make(int line, const QString &column, const char *source,
                        const QStringList &args = {});
    bool operator==(const Problem &other) const {
        return line == other.line && column == other.column && what == other.what;
    }
};
// What is wrong, in the language the program shows now (English without a translator).
QString shownWhat(const Problem &problem);
// One message naming the line, the column and what is wrong, in the language the
// program shows now.
QString describe(const Problem &problem);

struct ReadResult {
    QList<Row> rows;                // in the file's order; empty when there is a problem
    std::optional<Problem> problem; // the first problem found
};
// Reads a file: an optional first line starting with "#" (ignored), the header line,
// then up to twelve rows in any order. LF or CR LF, a byte-order mark, "," or ";" or a
// tab (whichever the header line uses) and quoted cells are accepted; blank lines and
// empty cells after the seventh are skipped, and empty sweep cells (top, step,
// interval) count as 0. A preset number outside 1-12 or given twice is a problem, and
// so is any other cell that is not a whole number, and a file without rows.
ReadResult read(QByteArrayView bytes);

// The bytes of a file holding `rows` in their order: `origin` (a line starting with
// "# ", or empty for none), the header, one row per preset, LF line ends.
QByteArray write(const QList<Row> &rows, const QString &origin);

// "presets-<serial>-<yyyymmdd>-<hhmmss>.csv"; a serial that is not a plain number
// (letters, digits and '-') is left out as "unknown".
QString backupName(const QString &serial, const QDateTime &when);

// A preset whose carrier and tone are both 0 or less is not in use: S cannot store one.
bool notInUse(const Row &row);
// A sweep preset: mode above 14. Modes 0-3 are plain; 4-14 are refused.
bool isSweep(const Row &row);

// The rules of a row before it may be sent, for a generator whose carrier limit is
// `carrierLimitHz` (carrier in 1 .. limit-1; tone 0 for none, else 1-65535; mode 0-3
// or above 14; a sweep's top above the carrier and below the limit, step and interval
// above 0). A preset not in use passes unchecked.
std::optional<Problem> check(const Row &row, qint64 carrierLimitHz);

// Whether the preset `present` the generator holds differs from `wanted`: for a plain
// preset the carrier, the tone (when set) or the mode; for a sweep preset the carrier,
// tone, top, step, interval, or `present` not being a sweep preset.
bool differs(const Row &wanted, const Row &present);

// The row of a K record (preset `number`), nullopt when it has fewer than seven fields
// or names another preset.
std::optional<Row> fromRecord(int number, QStringView record);

} // namespace PresetSetFile
