#pragma once

// A scripted generator for the widget tests of the presets and the radiotelegraph:
// it watches the lines the panel writes while the manual clock runs in 1 ms steps,
// and answers them after a chosen delay.

#include "tests/support/fakes.h"
#include "tests/support/lines.h"
#include "tests/widget/presets/printers.h"

#include <functional>
#include <map>
#include <optional>
#include <vector>

struct SentLine {
    qint64 at;
    QString line;
};

class ScriptedGenerator {
public:
    explicit ScriptedGenerator(PanelRig &rig) : m_rig(rig) {}

    // The reply (without "#" and CR LF) to a line, or nothing; with its delay in ms.
    struct Answer {
        QByteArray frame;
        qint64 delayMs = 0;
    };
    std::function<std::optional<Answer>(const QString &line)> answer;

    // Runs the clock for `ms` in 1 ms steps; returns the lines written meanwhile.
    std::vector<SentLine> run(qint64 ms) {
        std::vector<SentLine> out;
        for (qint64 i = 0; i < ms; ++i) {
            m_rig.clock.advance(1);
            const qint64 now = m_rig.clock.nowMs();
            for (auto it = m_due.begin(); it != m_due.end() && it->first <= now;) {
                m_rig.port.receive(it->second);
                it = m_due.erase(it);
            }
            const QByteArray raw = m_rig.port.takeWritten();
            m_raw += raw;
            for (const QString &line : crlfLines(raw)) {
                out.push_back({now, line});
                if (answer)
                    if (const auto a = answer(line))
                        m_due.emplace(now + a->delayMs, "#" + a->frame + "\r\n");
            }
        }
        return out;
    }

    // Bytes the generator sends unasked, `delayMs` from now (a poll reply, a sweep
    // report, ...). Bytes due at the same time go out in the order they were given.
    void sendIn(qint64 delayMs, const QByteArray &bytes) {
        m_due.emplace(m_rig.clock.nowMs() + delayMs, bytes);
    }

    // Every byte written while running, as it went out.
    const QByteArray &raw() const { return m_raw; }

private:
    PanelRig &m_rig;
    std::multimap<qint64, QByteArray> m_due;
    QByteArray m_raw;
};

inline QStringList linesOf(const std::vector<SentLine> &sent, bool withPoll = false) {
    static const QStringList poll{"G", "I", "J", "H"};
    QStringList lines;
    for (const SentLine &s : sent)
        if (withPoll || !poll.contains(s.line))
            lines << s.line;
    return lines;
}
