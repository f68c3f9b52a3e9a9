#include "instrument/presetsetfile.h"

#include "link/presetrecord.h"

#include <QCoreApplication>
#include <QStringList>
#include <array>
#include <cmath>
#include <limits>

namespace PresetSetFile {

namespace {

// The context of the texts of a problem, shown in Czech once the captions are.
constexpr char Context[] = "PresetSetFile";

// `text` with `args` for its %1, %2, %3 in one pass, so that an argument holding "%1"
// (a cell of the file) is shown as it is.
QString filled(const QString &text, const QStringList &args) {
    switch (args.size()) {
    case 0:
        return text;
    case 1:
        return text.arg(args[0]);
    case 2:
        return text.arg(args[0], args[1]);
    default:
        return text.arg(args[0], args[1], args[2]);
    }
}

// The header's column names, in the order of a row's cells.
const std::array<QLatin1StringView, 7> Columns = {
    QLatin1StringView("preset"),    QLatin1StringView("carrier_hz"), QLatin1StringView("tone_hz"),
    QLatin1StringView("mode"),      QLatin1StringView("top_hz"),     QLatin1StringView("step_hz"),
    QLatin1StringView("interval_s")};
enum Column { Number, Carrier, Tone, Mode, Top, Step, Interval };

constexpr qint64 ToneLimit = 65535; // the panel's tone dialog: 1 to 65535
constexpr int FirstSweepMode = 15;  // modes 4-14 mean nothing to the generator

QString column(Column c) {
    return QString(Columns[static_cast<size_t>(c)]);
}

// A cell's text as it may appear in a message: short, on one line.
QString quoted(QStringView cell) {
    QString text = cell.left(24).toString();
    for (QChar &c : text)
        if (c.category() == QChar::Other_Control)
            c = u' ';
    if (cell.size() > 24)
        text += u"...";
    return u'"' + text + u'"';
}

// One record of the file: its cells and the line it starts on.
struct Record {
    int line = 0;
    QStringList cells;
};

// Cuts the text (line ends already LF) into records at `separator`. A quoted cell may
// hold the separator, doubled quotes and line ends. A quote that never closes, or text
// after a closing quote, is a problem.
std::optional<Problem> cutRecords(QStringView text, QChar separator, int firstLine,
                                  QList<Record> &records) {
    int line = firstLine;
    qsizetype i = 0;
    while (i < text.size()) {
        Record record;
        record.line = line;
        for (;;) {
            QString cell;
            // Blanks before an opening quote belong to no cell.
            qsizetype start = i;
            while (start < text.size() && text[start] == u' ')
                ++start;
            if (start < text.size() && text[start] == u'"') {
                i = start;
                const int quoteLine = line;
                ++i;
                for (;;) {
                    if (i >= text.size())
                        return Problem::make(
                            quoteLine, {},
                            QT_TRANSLATE_NOOP("PresetSetFile", "a quote is not closed"));
                    if (text[i] == u'"') {
                        if (i + 1 < text.size() && text[i + 1] == u'"') {
                            cell += u'"';
                            i += 2;
                            continue;
                        }
                        ++i;
                        break;
                    }
                    if (text[i] == u'\n')
                        ++line;
                    cell += text[i++];
                }
                // Blanks may follow the closing quote; nothing else may.
                while (i < text.size() &&
                       (text[i] == u' ' || (text[i] == u'\t' && separator != u'\t')))
                    ++i;
                if (i < text.size() && text[i] != separator && text[i] != u'\n')
                    return Problem::make(
                        line, {},
                        QT_TRANSLATE_NOOP("PresetSetFile", "text follows a closing quote"));
            } else {
                while (i < text.size() && text[i] != separator && text[i] != u'\n')
                    cell += text[i++];
            }
            record.cells << cell;
            if (i >= text.size() || text[i] == u'\n')
                break;
            ++i; // the separator
        }
        if (i < text.size()) {
            ++i; // the line end
            ++line;
        }
        records << record;
    }
    return std::nullopt;
}

// A whole number, with an optional sign and blanks around it.
std::optional<qint64> wholeNumber(QStringView cell) {
    const QStringView text = cell.trimmed();
    bool ok = false;
    const qint64 value = text.toLongLong(&ok, 10);
    if (!ok)
        return std::nullopt;
    return value;
}

// The row of a record that has its seven cells, or the problem of its first bad cell.
std::optional<Problem> rowOf(const Record &record, Row &row) {
    // Trailing empty cells (a spreadsheet's extra separators) are not cells of the row.
    QStringList cells = record.cells;
    while (cells.size() > static_cast<qsizetype>(Columns.size()) &&
           cells.last().trimmed().isEmpty())
        cells.removeLast();
    if (cells.size() > static_cast<qsizetype>(Columns.size()))
        return Problem::make(record.line, {},
                             QT_TRANSLATE_NOOP("PresetSetFile", "the row has %1 cells, not %2"),
                             {QString::number(cells.size()), QString::number(Columns.size())});
    qint64 values[Columns.size()] = {};
    for (size_t c = 0; c < Columns.size(); ++c) {
        const Column which = static_cast<Column>(c);
        if (static_cast<qsizetype>(c) >= cells.size())
            return Problem::make(record.line, column(which),
                                 QT_TRANSLATE_NOOP("PresetSetFile", "the cell is missing"));
        const QString &cell = cells[static_cast<qsizetype>(c)];
        // A plain preset needs no sweep values: a spreadsheet may leave them empty.
        if (cell.trimmed().isEmpty() && c >= Top)
            continue;
        const std::optional<qint64> value = wholeNumber(cell);
        if (!value && cell.trimmed().isEmpty())
            return Problem::make(record.line, column(which),
                                 QT_TRANSLATE_NOOP("PresetSetFile", "the cell is empty"));
        if (!value)
            return Problem::make(record.line, column(which),
                                 QT_TRANSLATE_NOOP("PresetSetFile", "%1 is not a whole number"),
                                 {quoted(cell)});
        values[c] = *value;
    }
    if (values[Mode] < std::numeric_limits<int>::min() ||
        values[Mode] > std::numeric_limits<int>::max())
        return Problem::make(record.line, column(Mode),
                             QT_TRANSLATE_NOOP("PresetSetFile", "the mode is not 0-3 or above 14"));
    row.number = values[Number] < 1 || values[Number] > Presets::Count
                     ? 0
                     : static_cast<int>(values[Number]);
    if (row.number == 0)
        return Problem::make(record.line, column(Number),
                             QT_TRANSLATE_NOOP("PresetSetFile", "%1 is not a preset number 1-12"),
                             {QString::number(values[Number])});
    row.carrierHz = values[Carrier];
    row.toneHz = values[Tone];
    row.mode = static_cast<int>(values[Mode]);
    row.topHz = values[Top];
    row.stepHz = values[Step];
    row.intervalS = values[Interval];
    row.line = record.line;
    return std::nullopt;
}

bool isBlankRecord(const Record &record) {
    for (const QString &cell : record.cells)
        if (!cell.trimmed().isEmpty())
            return false;
    return true;
}

QString cellsOf(const Row &row) {
    const qint64 values[] = {row.number, row.carrierHz, row.toneHz,   row.mode,
                             row.topHz,  row.stepHz,    row.intervalS};
    QStringList cells;
    for (qint64 v : values)
        cells << QString::number(v);
    return cells.join(u',');
}

} // namespace

Problem Problem::make(int line, const QString &column, const char *source,
                      const QStringList &args) {
    return Problem{line, column, filled(QString::fromUtf8(source), args), source, args};
}

QString shownWhat(const Problem &problem) {
    if (!problem.source)
        return problem.what;
    return filled(QCoreApplication::translate(Context, problem.source), problem.args);
}

QString describe(const Problem &problem) {
    const QString what = shownWhat(problem);
    if (problem.line <= 0)
        return what;
    if (problem.column.isEmpty())
        return QCoreApplication::translate("PresetSetFile", "Line %1: %2")
            .arg(QString::number(problem.line), what);
    return QCoreApplication::translate("PresetSetFile", "Line %1, column %2: %3")
        .arg(QString::number(problem.line), problem.column, what);
}

ReadResult read(QByteArrayView bytes) {
    ReadResult result;
    if (bytes.size() > MaxBytes) {
        result.problem = Problem::make(0, {},
                                       QT_TRANSLATE_NOOP("PresetSetFile",
                                                         "The file is larger than %1 KiB: it is "
                                                         "not a preset set"),
                                       {QString::number(MaxBytes / 1024)});
        return result;
    }
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes = bytes.sliced(3);
    QString text = QString::fromUtf8(bytes);
    text.replace(QLatin1StringView("\r\n"), QLatin1StringView("\n"));
    text.replace(u'\r', u'\n');

    int line = 1;
    QStringView rest(text);
    // The origin line says where the set came from; nothing of it is read.
    if (rest.startsWith(u'#')) {
        const qsizetype end = rest.indexOf(u'\n');
        rest = end < 0 ? QStringView() : rest.sliced(end + 1);
        ++line;
    }
    const qsizetype headerEnd = rest.indexOf(u'\n');
    const QStringView header = headerEnd < 0 ? rest : rest.left(headerEnd);
    // The header tells the separator: spreadsheets write ';' or a tab where ',' is the
    // decimal comma.
    const QChar separator = header.contains(u';')    ? QChar(u';')
                            : header.contains(u'\t') ? QChar(u'\t')
                                                     : QChar(u',');
    QList<Record> headerRecords;
    cutRecords(header, separator, line, headerRecords);
    bool headerOk = headerRecords.size() == 1 &&
                    headerRecords[0].cells.size() == static_cast<qsizetype>(Columns.size());
    for (qsizetype c = 0; headerOk && c < headerRecords[0].cells.size(); ++c)
        headerOk = headerRecords[0].cells[c].trimmed().compare(Columns[static_cast<size_t>(c)],
                                                               Qt::CaseInsensitive) == 0;
    if (!headerOk) {
        result.problem = Problem::make(
            line, {}, QT_TRANSLATE_NOOP("PresetSetFile", "the header line \"%1\" is missing"),
            {QString::fromLatin1(Header)});
        return result;
    }
    ++line;

    QList<Record> records;
    if (std::optional<Problem> problem = cutRecords(
            headerEnd < 0 ? QStringView() : rest.sliced(headerEnd + 1), separator, line, records)) {
        result.problem = problem;
        return result;
    }
    int firstLineOf[Presets::Count + 1] = {};
    for (const Record &record : records) {
        if (isBlankRecord(record))
            continue;
        Row row;
        if (std::optional<Problem> problem = rowOf(record, row)) {
            result.problem = problem;
            result.rows.clear();
            return result;
        }
        if (firstLineOf[row.number] != 0) {
            result.problem = Problem::make(
                record.line, column(Number),
                QT_TRANSLATE_NOOP("PresetSetFile", "preset %1 is given twice (first on line %2)"),
                {QString::number(row.number), QString::number(firstLineOf[row.number])});
            result.rows.clear();
            return result;
        }
        firstLineOf[row.number] = record.line;
        result.rows << row;
    }
    if (result.rows.isEmpty())
        result.problem = Problem::make(
            line, {}, QT_TRANSLATE_NOOP("PresetSetFile", "the file holds no presets"));
    return result;
}

QByteArray write(const QList<Row> &rows, const QString &origin) {
    QString text;
    if (!origin.isEmpty()) {
        // One line whatever the caller gave.
        QString first = origin.startsWith(u'#') ? origin : QStringLiteral("# ") + origin;
        for (QChar &c : first)
            if (c == u'\n' || c == u'\r')
                c = u' ';
        text += first + u'\n';
    }
    text += QLatin1StringView(Header) + u'\n';
    for (const Row &row : rows)
        text += cellsOf(row) + u'\n';
    return text.toUtf8();
}

QString backupName(const QString &serial, const QDateTime &when) {
    QString plainSerial;
    for (QChar c : serial)
        if ((c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') ||
            c == u'-')
            plainSerial += c;
    if (plainSerial.isEmpty() || plainSerial.size() != serial.size())
        plainSerial = QStringLiteral("unknown");
    return QStringLiteral("presets-%1-%2.csv")
        .arg(plainSerial, when.toString(QStringLiteral("yyyyMMdd-HHmmss")));
}

bool notInUse(const Row &row) {
    return row.carrierHz <= 0 && row.toneHz <= 0;
}

bool isSweep(const Row &row) {
    return row.mode >= FirstSweepMode;
}

std::optional<Problem> check(const Row &row, qint64 carrierLimitHz) {
    if (notInUse(row))
        return std::nullopt;
    const auto problem = [&row](Column c, const char *source, const QStringList &args = {}) {
        return Problem::make(row.line, column(c), source, args);
    };
    if (row.carrierHz <= 0 || row.carrierHz >= carrierLimitHz)
        return problem(Carrier,
                       QT_TRANSLATE_NOOP("PresetSetFile", "the carrier %1 Hz is outside 1-%2 Hz"),
                       {QString::number(row.carrierHz), QString::number(carrierLimitHz - 1)});
    if (row.toneHz < 0 || row.toneHz > ToneLimit)
        return problem(
            Tone,
            QT_TRANSLATE_NOOP("PresetSetFile", "the tone %1 Hz is outside 1-%2 Hz (0: no tone)"),
            {QString::number(row.toneHz), QString::number(ToneLimit)});
    if (row.mode < 0 || (row.mode > 3 && row.mode < FirstSweepMode))
        return problem(Mode,
                       QT_TRANSLATE_NOOP("PresetSetFile",
                                         "mode %1 is neither a plain preset (0-3) nor a "
                                         "sweep preset (above 14)"),
                       {QString::number(row.mode)});
    if (!isSweep(row))
        return std::nullopt;
    if (row.topHz <= row.carrierHz || row.topHz >= carrierLimitHz)
        return problem(Top,
                       QT_TRANSLATE_NOOP("PresetSetFile",
                                         "the sweep's top %1 Hz is not above the carrier "
                                         "and at most %2 Hz"),
                       {QString::number(row.topHz), QString::number(carrierLimitHz - 1)});
    if (row.stepHz <= 0)
        return problem(Step,
                       QT_TRANSLATE_NOOP("PresetSetFile", "the sweep's step must be above 0"));
    if (row.intervalS <= 0)
        return problem(Interval,
                       QT_TRANSLATE_NOOP("PresetSetFile", "the sweep's interval must be above 0"));
    return std::nullopt;
}

bool differs(const Row &wanted, const Row &present) {
    const bool toneDiffers = wanted.toneHz > 0 && wanted.toneHz != present.toneHz;
    if (!isSweep(wanted))
        return wanted.carrierHz != present.carrierHz || toneDiffers || wanted.mode != present.mode;
    return !isSweep(present) || wanted.carrierHz != present.carrierHz || toneDiffers ||
           wanted.topHz != present.topHz || wanted.stepHz != present.stepHz ||
           wanted.intervalS != present.intervalS;
}

std::optional<Row> fromRecord(int number, QStringView record) {
    const Presets::CutRecord cut = Presets::cutRecord(record);
    if (cut.fields.size() < Presets::RecordFields)
        return std::nullopt;
    qint64 values[Presets::RecordFields] = {};
    for (int i = 0; i < Presets::RecordFields; ++i) {
        const std::optional<qint64> value = wholeNumber(cut.fields[i]);
        if (!value)
            return std::nullopt;
        values[i] = *value;
    }
    if (values[Number] != number || values[Mode] < std::numeric_limits<int>::min() ||
        values[Mode] > std::numeric_limits<int>::max())
        return std::nullopt;
    return Row{number,      values[Carrier], values[Tone],     static_cast<int>(values[Mode]),
               values[Top], values[Step],    values[Interval], 0};
}

} // namespace PresetSetFile
