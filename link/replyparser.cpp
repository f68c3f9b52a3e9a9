#include "link/replyparser.h"

#include "link/devicestate.h"
#include "link/numbers.h"

#include <algorithm>
#include <cmath>

// How the generator's replies are taken apart.
//
// The generator sends two kinds of text: its identity line ("KVT", the model code,
// "v" and the firmware version, CR) once after the port opens, and reply frames
// ("#", a letter, a value, CR, usually LF). Both are handled here, read by read:
//
// - Bytes are Latin-1 characters; the protocol itself is ASCII.
// - A read that begins with "KVT" is an identity line. It ends at the first CR, LF or
//   "#", whichever comes first; what follows it is walked as frames, so a generator
//   that sends its first replies right behind the line loses none of them. Until one
//   of those characters arrives the line is kept; the Link hands it over as it stands
//   (takeIdentity) when nothing more arrives for a short while, so a line without its
//   CR still connects. A line that grows beyond MaxKept characters without an end is
//   handled as it stands, so the version text is cut at MaxKept characters.
// - A read of just "K" or "KV" with nothing kept is kept as the possible start of an
//   identity line, however long the rest takes: a serial driver may split the
//   generator's greeting anywhere, and losing it would make port discovery skip a
//   working generator.
// - If a read begins with "KVT" while a partial frame or line is kept, the generator
//   has restarted: the kept text is dropped and the new identity line handled.
// - Otherwise the kept text and the read form one buffer walked frame by frame: find
//   "#" (text before it is noise and dropped), find the CR, handle the frame, go on
//   after the CR. A frame whose CR has not arrived yet is kept from its "#" and
//   completed by the next read, instead of being handled in its cut form; this makes
//   the result independent of how the bytes were split into reads.
// - A frame ends at its first CR within MaxKept characters from its "#"; a "#" inside
//   it is part of its value. A frame with no CR within MaxKept characters is longer
//   than anything the generator sends and than what is kept: it is dropped whole, up
//   to and including its CR (in this read or a later one), and nothing of its middle
//   is ever read as a frame. So kept text never reaches MaxKept characters.
// - A value that does not fit its field (an S of 70000, an A of -1, a V beyond 32
//   bits, or an F that is not finite) leaves the field as it was; the other effects
//   of the frame (sweeping) still apply.

namespace {

constexpr QChar CR = QLatin1Char('\r');

const QString &identityStart() {
    static const QString kvt = QStringLiteral("KVT");
    return kvt;
}

bool startsIdentity(const QString &text) {
    return text.startsWith(identityStart());
}

// "K" or "KV": an identity line may follow in the next read.
bool isIdentityPrefix(const QString &text) {
    return !text.isEmpty() && text.size() < identityStart().size() &&
           identityStart().startsWith(text);
}

// Where an identity line ends: its first CR, LF or "#", or -1.
qsizetype identityEnd(const QString &text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (c == u'\r' || c == u'\n' || c == u'#')
            return i;
    }
    return -1;
}

} // namespace

std::vector<ReplyEffects> ReplyParser::feed(const QByteArray &read) {
    std::vector<ReplyEffects> effects;
    if (read.isEmpty())
        return effects;
    const QString text = QString::fromLatin1(read);

    if (startsIdentity(text)) {
        m_pending = text; // a restarted generator: whatever was kept is stale
        m_dropping = false;
    } else if (holdsIdentity()) {
        m_pending += text;
        // "K" or "KV" that did not become "KVT" was noise: walk it as frames below.
        if (!startsIdentity(m_pending) && !isIdentityPrefix(m_pending)) {
            QString buffer;
            buffer.swap(m_pending);
            walkFrames(buffer, effects);
            return effects;
        }
    } else if (m_pending.isEmpty() && !m_dropping && isIdentityPrefix(text)) {
        m_pending = text;
        return effects;
    } else {
        QString buffer = m_pending + text;
        m_pending.clear();
        walkFrames(buffer, effects);
        return effects;
    }

    // m_pending holds an identity line or the start of one.
    if (isIdentityPrefix(m_pending))
        return effects;
    qsizetype end = identityEnd(m_pending);
    if (end < 0 && m_pending.size() > MaxKept)
        end = MaxKept;
    if (end >= 0) {
        const QString line = m_pending.left(end);
        const QString rest = m_pending.mid(end);
        m_pending.clear();
        effects.push_back(applyIdentity(line));
        walkFrames(rest, effects);
    }
    return effects;
}

bool ReplyParser::holdsIdentity() const {
    return !m_pending.isEmpty() && (startsIdentity(m_pending) || isIdentityPrefix(m_pending));
}

std::vector<ReplyEffects> ReplyParser::takeIdentity() {
    std::vector<ReplyEffects> effects;
    // "K" or "KV" alone stays kept: the rest of the greeting may come late (a loaded
    // system, a slow adapter), and a next read that does not complete it is walked as
    // frames, where it is noise before the "#".
    if (!holdsIdentity() || !startsIdentity(m_pending))
        return effects;
    QString line;
    line.swap(m_pending);
    effects.push_back(applyIdentity(line));
    return effects;
}

void ReplyParser::walkFrames(const QString &buffer, std::vector<ReplyEffects> &effects) {
    qsizetype pos = 0;
    const qsizetype size = buffer.size();
    if (m_dropping) {
        // The rest of an over-long frame: nothing before its CR is a frame.
        const qsizetype cr = buffer.indexOf(CR);
        if (cr < 0)
            return;
        m_dropping = false;
        pos = cr + 1;
    }
    while (pos < size) {
        const qsizetype hash = buffer.indexOf(QLatin1Char('#'), pos);
        if (hash < 0)
            return; // noise, a lost half frame or the LF of the last frame
        const qsizetype window = std::min(size - hash, MaxKept);
        const qsizetype cr = QStringView(buffer).mid(hash, window).indexOf(CR);
        if (cr >= 0) {
            effects.push_back(applyFrame(buffer.mid(hash, cr)));
            pos = hash + cr + 1;
        } else if (window == MaxKept) {
            const qsizetype end = buffer.indexOf(CR, hash + MaxKept);
            if (end < 0) {
                m_dropping = true;
                return;
            }
            pos = end + 1;
        } else {
            m_pending = buffer.mid(hash); // completed by the next read
            return;
        }
    }
}

ReplyEffects ReplyParser::applyIdentity(const QString &line) {
    ReplyEffects e;
    e.kind = ReplyEffects::Kind::Identity;

    // Characters 4 and 5 are the model code; a short line gives what is there.
    m_state.modelName = QStringLiteral("KVT ") + line.mid(3, 2);

    const qsizetype v = line.indexOf(QLatin1Char('v'));
    m_state.firmwareVersion = (v >= 0 ? line.mid(v + 1) : line).left(MaxKept);

    // Character 5 doubles as the range flag. Anything but a digit leaves the range
    // as it was rather than guessing.
    if (line.size() >= 5 && line[4].isDigit() && line[4].unicode() < 128)
        m_state.wideRange = static_cast<int16_t>(line[4].unicode() - u'0');

    m_state.connected = true;
    return e;
}

ReplyEffects ReplyParser::applyFrame(const QString &frame) {
    ReplyEffects e;
    e.kind = ReplyEffects::Kind::Frame;
    if (frame.size() < 2)
        return e; // "#" alone: handled (the panel is redrawn), nothing stored
    e.letter = frame[1];
    const QStringView value = QStringView(frame).mid(2);
    e.text = value.toString();
    DeviceState &s = m_state;

    switch (e.letter.unicode()) {
    case u'F': {
        const double f = Numbers::leadingValue(value);
        if (std::isfinite(f))
            s.carrierFreq = f;
        s.sweeping = false;
        break;
    }
    case u'A':
        Numbers::store(s.modFreq, Numbers::leadingValue(value));
        break;
    case u'V':
        Numbers::store(s.coarseStep, Numbers::leadingValue(value));
        break;
    case u'M':
        Numbers::store(s.modMode, Numbers::leadingValue(value));
        break;
    case u'S':
        Numbers::store(s.outputOn, Numbers::leadingValue(value));
        break;
    case u'K':
        s.presetRecord = value.toString();
        break;
    case u'W':
        Numbers::store(s.sweepFreq, Numbers::leadingValue(value));
        s.sweeping = true;
        break;
    case u'B':
        if (Numbers::store(s.deviceId, Numbers::leadingValue(value)) &&
            (s.highestDeviceId == 0 || s.highestDeviceId < s.deviceId))
            s.highestDeviceId = s.deviceId;
        break;
    case u'Y':
        // The first character alone is the mode (a non-digit reads as 0), the rest
        // is the operand.
        Numbers::store(s.displayOperatorMode, Numbers::leadingValue(value.left(1)));
        Numbers::store(s.displayOperator, Numbers::leadingValue(value.mid(1)));
        break;
    case u'T':
        applyDate(value);
        break;
    case u'Q':
        s.telegraphBusy = false;
        break;
    default:
        break;
    }
    return e;
}

void ReplyParser::applyDate(QStringView value) {
    // "day month year" with the year counted from 2000: "7 3 15" -> 07.03.2015.
    const qsizetype first = value.indexOf(QLatin1Char(' '));
    if (first < 0)
        return;
    const qsizetype second = value.indexOf(QLatin1Char(' '), first + 1);
    if (second < 0)
        return;
    const double year = Numbers::leadingValue(value.mid(second + 1)) + 2000;
    if (!std::isfinite(year))
        return;
    const auto twoDigits = [](QStringView part) {
        return (QLatin1Char('0') + part.toString()).right(2);
    };
    m_state.productionDate = twoDigits(value.left(first)) + QLatin1Char('.') +
                             twoDigits(value.mid(first + 1, second - first - 1)) +
                             QLatin1Char('.') + Numbers::plain(year);
}
