#include "remote/scpiparser.h"

#include <QStringList>
#include <cmath>
#include <limits>
#include <optional>

namespace {

using Header = ScpiCommand::Header;

// What a command takes as its parameter.
enum class Takes { Nothing, Frequency, Time, Preset, Boolean, ModulationKind, Text, PresetData };
// Whether a command may be set, queried, or both.
enum Forms { Set = 1, Query = 2, Both = 3 };

struct Entry {
    const char *path; // nodes in long form, short form in capitals, optional in brackets
    Header header;
    int forms;
    Takes takes;
    bool queryTakesParameter = false; // MEMory:PRESet? <n>
};

const Entry Commands[] = {
    {"*IDN", Header::Identify, Query, Takes::Nothing},
    {"*CLS", Header::ClearStatus, Set, Takes::Nothing},
    {"*ESR", Header::EventStatus, Query, Takes::Nothing},
    {"*STB", Header::StatusByte, Query, Takes::Nothing},
    {"*OPC", Header::OperationComplete, Query, Takes::Nothing},
    {"*WAI", Header::Wait, Set, Takes::Nothing},
    {"*SAV", Header::SavePreset, Set, Takes::Preset},
    {"*RCL", Header::RecallPreset, Set, Takes::Preset},
    {"MEMory:PRESet", Header::PresetQuery, Query, Takes::Preset, true},
    {"MEMory:PRESet:DATA", Header::PresetData, Set, Takes::PresetData},
    {"[SOURce]:FREQuency:[CW]", Header::Carrier, Both, Takes::Frequency},
    {"[SOURce]:AM:INTernal:FREQuency", Header::Tone, Both, Takes::Frequency},
    {"[SOURce]:AM:MODE", Header::ModulationKind, Both, Takes::ModulationKind},
    {"OUTPut:[STATe]", Header::Output, Both, Takes::Boolean},
    {"[SOURce]:FREQuency:STOP", Header::SweepStop, Both, Takes::Frequency},
    {"[SOURce]:SWEep:STEP", Header::SweepStep, Both, Takes::Frequency},
    {"[SOURce]:SWEep:TIME", Header::SweepTime, Both, Takes::Time},
    {"[SOURce]:SWEep:[STATe]", Header::Sweep, Both, Takes::Boolean},
    {"[SOURce]:SWEep:PAUSe", Header::SweepPause, Set, Takes::Nothing},
    {"[SOURce]:SWEep:POSition", Header::SweepPosition, Query, Takes::Nothing},
    {"[SOURce]:MORSe:[SEND]", Header::Morse, Set, Takes::Text},
    {"[SOURce]:MORSe:BUSY", Header::MorseBusy, Query, Takes::Nothing},
    {"SYSTem:ERRor:[NEXT]", Header::SystemError, Query, Takes::Nothing},
    {"SYSTem:CONNected", Header::SystemConnected, Query, Takes::Nothing},
};

// Whether a keyword as written names this node: its short form (the capitals) or its
// whole long form, in any case, and nothing in between.
bool names(QStringView keyword, QStringView node) {
    qsizetype shortLength = 0;
    while (shortLength < node.size() && !node[shortLength].isLower())
        ++shortLength;
    return keyword.compare(node, Qt::CaseInsensitive) == 0 ||
           keyword.compare(node.left(shortLength), Qt::CaseInsensitive) == 0;
}

// Whether the keywords match the nodes from here on, optional nodes left out or not.
bool matches(const QStringList &keywords, qsizetype k, const QStringList &nodes, qsizetype n) {
    if (n == nodes.size())
        return k == keywords.size();
    const bool optional = nodes[n].startsWith(u'[');
    const QStringView node =
        optional ? QStringView(nodes[n]).mid(1, nodes[n].size() - 2) : QStringView(nodes[n]);
    if (k < keywords.size() && names(keywords[k], node) && matches(keywords, k + 1, nodes, n + 1))
        return true;
    return optional && matches(keywords, k, nodes, n + 1);
}

const Entry *lookUp(const QStringList &keywords) {
    for (const Entry &entry : Commands) {
        const QStringList nodes = QString::fromLatin1(entry.path).split(u':');
        if (matches(keywords, 0, nodes, 0))
            return &entry;
    }
    return nullptr;
}

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t';
}
bool isKeywordChar(QChar c) {
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') ||
           c == u'_';
}

// One parameter as written.
struct Parameter {
    enum Kind { Number, Word, String } kind = Number;
    double number = 0;
    QString suffix; // after a number, upper case
    QString text;   // a word (upper case) or a string's contents
};

// Reads the text of one command (between ';'s) after its header.
class Reader {
public:
    explicit Reader(QStringView text) : m_text(text) {}

    void skipBlanks() {
        while (m_pos < m_text.size() && isBlank(m_text[m_pos]))
            ++m_pos;
    }
    bool atEnd() const { return m_pos >= m_text.size(); }
    QChar peek() const { return atEnd() ? QChar() : m_text[m_pos]; }
    void advance() { ++m_pos; }

    // The parameters after the header, or the error that stops them.
    int parameters(QList<Parameter> &out) {
        skipBlanks();
        if (atEnd())
            return 0;
        for (;;) {
            Parameter parameter;
            if (const int error = one(parameter))
                return error;
            out.append(parameter);
            skipBlanks();
            if (atEnd())
                return 0;
            if (peek() != u',')
                return ScpiParser::SyntaxError;
            advance();
            skipBlanks();
        }
    }

private:
    int one(Parameter &p) {
        const QChar c = peek();
        if (c == u'"' || c == u'\'')
            return string(p);
        if (c.isLetter() && c.unicode() < 0x80) {
            p.kind = Parameter::Word;
            while (!atEnd() && isKeywordChar(peek()))
                p.text.append(m_text[m_pos++].toUpper());
            return 0;
        }
        if (c == u'+' || c == u'-' || c == u'.' || (c >= u'0' && c <= u'9'))
            return number(p);
        return ScpiParser::SyntaxError;
    }

    int string(Parameter &p) {
        p.kind = Parameter::String;
        const QChar quote = peek();
        advance();
        bool control = false;
        for (;;) {
            if (atEnd())
                return ScpiParser::SyntaxError; // the string never ends
            const QChar c = m_text[m_pos++];
            if (c == quote) {
                if (peek() != quote)
                    break;
                advance(); // a doubled quote stands for one
            }
            if (c.unicode() < 0x20 || c.unicode() == 0x7f)
                control = true;
            p.text.append(c);
        }
        return control ? ScpiParser::StringDataError : 0;
    }

    int number(Parameter &p) {
        const qsizetype start = m_pos;
        if (peek() == u'+' || peek() == u'-')
            advance();
        int digits = 0;
        while (peek().isDigit() && peek().unicode() < 0x80) {
            advance();
            ++digits;
        }
        if (peek() == u'.') {
            advance();
            while (peek().isDigit() && peek().unicode() < 0x80) {
                advance();
                ++digits;
            }
        }
        if (digits == 0)
            return ScpiParser::SyntaxError;
        // An exponent: E, a sign, digits. "E" alone may not follow a number: no
        // suffix of this program begins with E.
        if (peek() == u'e' || peek() == u'E') {
            advance();
            if (peek() == u'+' || peek() == u'-')
                advance();
            if (!peek().isDigit())
                return ScpiParser::SyntaxError;
            while (peek().isDigit() && peek().unicode() < 0x80)
                advance();
        }
        bool ok = false;
        p.number = m_text.mid(start, m_pos - start).toDouble(&ok);
        if (!ok)
            p.number = std::numeric_limits<double>::infinity(); // out of any range
        skipBlanks();
        while (!atEnd() && peek().isLetter() && peek().unicode() < 0x80)
            p.suffix.append(m_text[m_pos++].toUpper());
        return 0;
    }

    QStringView m_text;
    qsizetype m_pos = 0;
};

// The value of a numeric parameter in hertz or seconds, or the error.
int numberIn(const Parameter &p, Takes takes, double &value) {
    if (p.kind != Parameter::Number)
        return ScpiParser::DataTypeError;
    double scale = 1;
    if (p.suffix.isEmpty()) {
        scale = 1;
    } else if (takes == Takes::Frequency && p.suffix == u"HZ") {
        scale = 1;
    } else if (takes == Takes::Frequency && p.suffix == u"KHZ") {
        scale = 1e3;
    } else if (takes == Takes::Frequency && p.suffix == u"MHZ") {
        scale = 1e6;
    } else if (takes == Takes::Time && p.suffix == u"S") {
        scale = 1;
    } else if (takes == Takes::Time && p.suffix == u"MS") {
        scale = 1e-3;
    } else {
        return ScpiParser::InvalidSuffix;
    }
    value = p.number * scale;
    return std::isfinite(value) ? 0 : ScpiParser::DataOutOfRange;
}

// Checks the parameter against what the command takes and stores its value.
int take(const Parameter &p, Takes takes, ScpiCommand &command) {
    switch (takes) {
    case Takes::Nothing:
        return ScpiParser::ParameterNotAllowed;
    case Takes::Frequency:
    case Takes::Time: {
        double value = 0;
        if (const int error = numberIn(p, takes, value))
            return error;
        // The generator sweeps for at least a second: a shorter time is refused rather
        // than rounded up to one.
        if (takes == Takes::Time && value < 1)
            return ScpiParser::DataOutOfRange;
        // Whole hertz; the sweep time in whole seconds, as the generator takes it.
        value = std::round(value);
        if (!(value > 0))
            return ScpiParser::DataOutOfRange;
        command.number = value;
        return 0;
    }
    case Takes::Preset: {
        double value = 0;
        if (const int error = numberIn(p, takes, value))
            return error;
        value = std::round(value);
        if (value < 1 || value > 12)
            return ScpiParser::DataOutOfRange;
        command.number = value;
        return 0;
    }
    case Takes::Boolean:
        if (p.kind == Parameter::Word && (p.text == u"ON" || p.text == u"OFF")) {
            command.number = p.text == u"ON" ? 1 : 0;
            return 0;
        }
        if (p.kind == Parameter::Number) {
            if (!p.suffix.isEmpty())
                return ScpiParser::InvalidSuffix;
            // A numeric boolean is rounded: anything but 0 is ON.
            command.number = std::isfinite(p.number) && std::round(p.number) == 0 ? 0 : 1;
            return 0;
        }
        return ScpiParser::DataTypeError;
    case Takes::ModulationKind: {
        if (p.kind != Parameter::Word)
            return ScpiParser::DataTypeError;
        const char *kinds[] = {"OFF", "STILl", "BEEP", "TRILl"};
        for (int i = 0; i < 4; ++i) {
            if (names(p.text, QString::fromLatin1(kinds[i]))) {
                command.number = i;
                return 0;
            }
        }
        return ScpiParser::DataTypeError;
    }
    case Takes::PresetData: // seven parameters: presetData()
        return ScpiParser::DataTypeError;
    case Takes::Text:
        if (p.kind != Parameter::String)
            return ScpiParser::DataTypeError;
        command.text = p.text;
        return 0;
    }
    return ScpiParser::DataTypeError;
}

// The seven numbers of a preset record (MEMory:PRESet:DATA): plain whole numbers
// without suffixes, the preset number 1-12 first. Whether the record may be written the
// Instrument judges.
int presetData(const QList<Parameter> &parameters, ScpiCommand &command) {
    constexpr qsizetype Count = 7;
    if (parameters.size() < Count)
        return ScpiParser::MissingParameter;
    if (parameters.size() > Count)
        return ScpiParser::ParameterNotAllowed;
    for (const Parameter &p : parameters) {
        if (p.kind != Parameter::Number)
            return ScpiParser::DataTypeError;
        if (!p.suffix.isEmpty())
            return ScpiParser::InvalidSuffix;
        // Beyond 1e15 no value of a preset lies; below it a double is exact.
        if (!(std::abs(p.number) < 1e15) || p.number != std::round(p.number))
            return ScpiParser::DataOutOfRange;
        command.numbers.append(static_cast<qint64>(p.number));
    }
    if (command.numbers.first() < 1 || command.numbers.first() > 12)
        return ScpiParser::DataOutOfRange;
    return 0;
}

// Splits a line at the ';'s that are not inside a quoted string.
QList<QStringView> splitCommands(QStringView line) {
    QList<QStringView> parts;
    QChar quote;
    qsizetype start = 0;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar(); // a doubled quote closes and opens again
        } else if (c == u'"' || c == u'\'') {
            quote = c;
        } else if (c == u';') {
            parts.append(line.mid(start, i - start));
            start = i + 1;
        }
    }
    parts.append(line.mid(start));
    return parts;
}

// Parses one command; `path` is the header path the next command starts from.
ScpiCommand parseOne(QStringView text, QStringList &path) {
    ScpiCommand command;
    Reader reader(text);
    reader.skipBlanks();
    const bool common = reader.peek() == u'*';
    const bool fromRoot = reader.peek() == u':';
    if (common || fromRoot)
        reader.advance();
    QStringList keywords;
    for (;;) {
        QString keyword;
        while (!reader.atEnd() && isKeywordChar(reader.peek())) {
            keyword.append(reader.peek());
            reader.advance();
        }
        if (keyword.isEmpty()) {
            command.error = ScpiParser::SyntaxError;
            return command;
        }
        keywords.append(keyword);
        if (common || reader.peek() != u':')
            break;
        reader.advance();
    }
    if (reader.peek() == u'?') {
        command.query = true;
        reader.advance();
    }
    if (!reader.atEnd() && !isBlank(reader.peek())) {
        command.error = ScpiParser::SyntaxError;
        return command;
    }

    QStringList full;
    if (common) {
        keywords.first().prepend(u'*');
        full = keywords;
    } else {
        full = fromRoot ? keywords : path + keywords;
    }
    const Entry *entry = lookUp(full);
    if (!entry || !(entry->forms & (command.query ? Query : Set))) {
        command.error = ScpiParser::UndefinedHeader;
        return command;
    }
    if (!common) {
        full.removeLast();
        path = full;
    }

    QList<Parameter> parameters;
    if (const int error = reader.parameters(parameters)) {
        command.error = error;
        return command;
    }
    const bool wantsParameter =
        entry->takes != Takes::Nothing && (!command.query || entry->queryTakesParameter);
    if (!wantsParameter && !parameters.isEmpty()) {
        command.error = ScpiParser::ParameterNotAllowed;
    } else if (wantsParameter && parameters.isEmpty()) {
        command.error = ScpiParser::MissingParameter;
    } else if (entry->takes == Takes::PresetData) {
        command.error = presetData(parameters, command);
    } else if (parameters.size() > 1) {
        command.error = ScpiParser::ParameterNotAllowed;
    } else if (wantsParameter) {
        command.error = take(parameters.first(), entry->takes, command);
    }
    if (command.error == 0)
        command.header = entry->header;
    return command;
}

} // namespace

QString ScpiParser::errorText(int error) {
    switch (error) {
    case 0:
        return QStringLiteral("No error");
    case SyntaxError:
        return QStringLiteral("Syntax error");
    case DataTypeError:
        return QStringLiteral("Data type error");
    case ParameterNotAllowed:
        return QStringLiteral("Parameter not allowed");
    case MissingParameter:
        return QStringLiteral("Missing parameter");
    case UndefinedHeader:
        return QStringLiteral("Undefined header");
    case InvalidSuffix:
        return QStringLiteral("Invalid suffix");
    case StringDataError:
        return QStringLiteral("String data error");
    case SettingsConflict:
        return QStringLiteral("Settings conflict");
    case DataOutOfRange:
        return QStringLiteral("Data out of range");
    case TooMuchData:
        return QStringLiteral("Too much data");
    case DataStale:
        return QStringLiteral("Data corrupt or stale");
    case HardwareError:
        return QStringLiteral("Hardware error");
    case HardwareMissing:
        return QStringLiteral("Hardware missing");
    case DeviceSpecificError:
        return QStringLiteral("Device-specific error");
    case QueueOverflow:
        return QStringLiteral("Queue overflow");
    case InputBufferOverrun:
        return QStringLiteral("Input buffer overrun");
    default:
        return QStringLiteral("Error");
    }
}

QList<ScpiCommand> ScpiParser::parse(const QByteArray &line) {
    const QString text = QString::fromUtf8(line);
    QList<ScpiCommand> commands;
    QStringList path; // a leading ':' or the start of the line goes back to the root
    for (QStringView part : splitCommands(text)) {
        if (part.trimmed().isEmpty())
            continue;
        commands.append(parseOne(part.trimmed(), path));
        if (commands.last().error != 0)
            break;
    }
    return commands;
}
