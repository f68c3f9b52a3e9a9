// Link::ask on its own, against a port that only records and a manual clock. This
// executable links the link library and Qt Core only: it is also the build's proof that
// link/ reaches no widget.
#include "tests/support/manualclock.h"

#include "link/devicestate.h"
#include "link/link.h"
#include "link/serialport.h"

#include <gtest/gtest.h>
#include <optional>

namespace {

// The smallest port: open at once, writes recorded, received bytes handed to the link.
class RecordingPort final : public SerialPort {
public:
    int open(int) override { return m_open = true, NoError; }
    int reopen() override { return open(0); }
    void close() override { m_open = false; }
    bool isOpen() const override { return m_open; }
    void write(const QByteArray &bytes) override { written += bytes; }
    QByteArray read(qint64 maxBytes) override {
        const QByteArray out = m_received.left(maxBytes);
        m_received.remove(0, out.size());
        return out;
    }
    qint64 bytesAvailable() const override { return m_received.size(); }
    QString systemName() const override { return QStringLiteral("/dev/recording"); }
    void receive(const QByteArray &bytes) {
        m_received += bytes;
        Q_EMIT readyRead();
    }
    QByteArray written;

private:
    bool m_open = false;
    QByteArray m_received;
};

struct Rig {
    Rig() { link.openPort(); }
    DeviceState state;
    ManualClock clock;
    RecordingPort port;
    Link link{state, port, clock};
};

// What one question ended with, and when; `cancelled` when its wait was cancelled.
struct Outcome {
    std::optional<Frame> frame;
    std::optional<qint64> at;
    bool cancelled = false;
};

QCoro::Task<> askAndNote(Rig &rig, QString command, QString letters, int ms, Outcome &out,
                         std::function<bool(const Frame &)> accepts = {}) {
    try {
        out.frame = co_await rig.link.ask(command, letters, ms, std::move(accepts));
        out.at = rig.clock.nowMs();
    } catch (const WaitCancelled &) {
        out.cancelled = true;
    }
}

TEST(LinkAsk, WakesOnTheFirstFrameOfItsLettersReadAfterTheCommand) {
    struct Arrival {
        qint64 at;
        QByteArray bytes;
    };
    struct Case {
        const char *name;
        const char *letters;
        std::vector<Arrival> arrivals;
        std::optional<qint64> answeredAt; // none: timed out at 100 ms
        QString text;                     // the frame's value when answered
    };
    const Case cases[] = {
        {"answered at once", "F", {{3, "#F7050000\r\n"}}, 3, QStringLiteral("7050000")},
        {"answered late, within its time", "F", {{99, "#F1\r\n"}}, 99, QStringLiteral("1")},
        {"answered after its time", "F", {{101, "#F1\r\n"}}, std::nullopt, {}},
        {"never answered", "F", {}, std::nullopt, {}},
        {"another letter does not answer", "F", {{5, "#A1000\r\n#S1\r\n"}}, std::nullopt, {}},
        {"any letter of the set answers",
         "FW",
         {{5, "#A1\r\n#W4500\r\n#F9\r\n"}},
         5,
         QStringLiteral("4500")},
        {"a frame cut across reads",
         "K",
         {{5, "#K3 70"}, {8, "50000\r\n"}},
         8,
         QStringLiteral("3 7050000")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        Outcome out;
        auto task = askAndNote(rig, QStringLiteral("G"), QString::fromLatin1(c.letters), 100, out);
        EXPECT_EQ(rig.port.written, QByteArray("G\r\n"));
        for (const Arrival &a : c.arrivals) {
            rig.clock.advance(a.at - rig.clock.nowMs());
            rig.port.receive(a.bytes);
            rig.clock.advance(0);
        }
        rig.clock.advance(200 - rig.clock.nowMs());
        if (c.answeredAt) {
            ASSERT_TRUE(out.frame.has_value());
            EXPECT_EQ(out.frame->text, c.text);
            EXPECT_EQ(out.at, *c.answeredAt);
        } else {
            EXPECT_FALSE(out.frame.has_value());
            EXPECT_EQ(out.at, 100);
        }
        EXPECT_EQ(rig.link.waits().pendingCount(), 0);
    }
}

TEST(LinkAsk, AFrameReadBeforeTheCommandOrRefusedDoesNotAnswerIt) {
    Rig rig;
    Outcome refused;
    // A late answer for another preset is refused; the record stays for the caller.
    auto first = askAndNote(rig, QStringLiteral("K3"), QStringLiteral("K"), 50, refused,
                            [](const Frame &f) { return f.text.startsWith(u'3'); });
    rig.port.receive("#K2 100\r\n");
    rig.clock.advance(0);
    EXPECT_FALSE(refused.at.has_value()) << "another preset's record does not answer K3";
    EXPECT_EQ(rig.state.presetRecord, QStringLiteral("2 100")) << "the parser stores it";
    rig.port.receive("#K3 200\r\n");
    rig.clock.advance(0);
    ASSERT_TRUE(refused.frame.has_value());
    EXPECT_EQ(refused.frame->text, QStringLiteral("3 200"));

    // A question asked while a reply is handled does not take that reply's frames.
    Outcome inner;
    std::optional<QCoro::Task<>> innerTask;
    QObject context;
    QObject::connect(&rig.link, &Link::replyHandled, &context, [&](const ReplyEffects &) {
        if (!innerTask)
            innerTask.emplace(askAndNote(rig, QStringLiteral("G"), QStringLiteral("F"), 50, inner));
    });
    rig.port.receive("#A1\r\n#F1\r\n");
    rig.clock.advance(0);
    EXPECT_FALSE(inner.at.has_value());
    rig.port.receive("#F2\r\n");
    rig.clock.advance(0);
    ASSERT_TRUE(inner.frame.has_value());
    EXPECT_EQ(inner.frame->text, QStringLiteral("2"));
}

TEST(LinkAsk, AClosedPortAnswersNothingAndTheProgramEndingCancels) {
    {
        Rig rig;
        rig.link.closePort();
        Outcome out;
        auto task = askAndNote(rig, QStringLiteral("G"), QStringLiteral("F"), 100, out);
        EXPECT_EQ(out.at, 0) << "nothing was sent, nothing is waited for";
        EXPECT_FALSE(out.frame.has_value());
    }
    Outcome out;
    std::optional<QCoro::Task<>> task;
    {
        Rig rig;
        task.emplace(askAndNote(rig, QStringLiteral("G"), QStringLiteral("F"), 100, out));
        rig.clock.advance(10);
    } // the link goes away while the question waits
    EXPECT_TRUE(out.cancelled);
}

} // namespace
