#pragma once

#include <QByteArray>
#include <QChar>
#include <QString>
#include <vector>

struct DeviceState;

// What the parser handled: one identity line or one frame. It has already stored the
// values in DeviceState; whatever shows the record draws it from there.
struct ReplyEffects {
    enum class Kind { Identity, Frame };
    Kind kind = Kind::Frame;
    QChar letter; // the frame's letter (null when the frame has none)
    QString text; // the frame's value: what follows the letter, as received
};

// The only reader of the generator's replies. It takes the bytes of each read, keeps
// an unfinished frame or identity line until the rest arrives (bounded to 1000
// characters, so a flood without CR cannot grow memory), stores every value in
// DeviceState by the number rules and reports one ReplyEffects per handled item.
class ReplyParser {
public:
    explicit ReplyParser(DeviceState &state) : m_state(state) {}

    // Handles one read. Returns the effects in the order the items were handled.
    std::vector<ReplyEffects> feed(const QByteArray &read);

    // Forgets a kept partial frame, e.g. when the port is closed.
    void reset() {
        m_pending.clear();
        m_dropping = false;
    }

    // An identity line (or its first characters) is kept, waiting for its end.
    bool holdsIdentity() const;
    // Handles a kept identity line as it stands: nothing more arrived after it. Returns
    // its effect (none when only "K" or "KV" is kept, which stays kept for the next
    // read: it may be the start of a greeting whose rest is late).
    std::vector<ReplyEffects> takeIdentity();

    // Characters kept from earlier reads, waiting for their carriage return.
    qsizetype keptCharacters() const { return m_pending.size(); }

    static constexpr qsizetype MaxKept = 1000;

private:
    ReplyEffects applyIdentity(const QString &line);
    ReplyEffects applyFrame(const QString &frame);
    void applyDate(QStringView value);
    void walkFrames(const QString &buffer, std::vector<ReplyEffects> &effects);

    DeviceState &m_state;
    QString m_pending;
    bool m_dropping = false; // inside an over-long frame, dropped up to its CR
};
