// The Link on its own, against the fake port and the manual clock: which replies end
// which waits, how commands are framed, and an identity line that never ends.
#include "tests/support/fakes.h"
#include "tests/support/manualclock.h"

#include "link/devicestate.h"
#include "link/link.h"
#include "link/windows1250.h"

#include <QStringEncoder>
#include <gtest/gtest.h>
#include <optional>

namespace {

using namespace Qt::StringLiterals;

struct LinkRig {
    LinkRig() {
        port.openResults[2] = 0;
        state.portNumber = 2;
        EXPECT_EQ(link.openPort(), 0);
    }
    // Bytes arrive at `at` ms; the clock is moved there first.
    void receiveAt(qint64 at, const QByteArray &bytes) {
        clock.advance(at - clock.nowMs());
        port.receive(bytes);
        clock.advance(0);
    }

    DeviceState state;
    ManualClock clock;
    FakeSerialPort port;
    Link link{state, port, clock};
};

// Records when a wait or a question ended (or that it was cancelled).
template <typename Wait>
QCoro::Task<> waitAndNote(Wait wait, ManualClock &clock, std::optional<qint64> &end) {
    try {
        co_await std::move(wait);
        end = clock.nowMs();
    } catch (const WaitCancelled &) {
        end = -1;
    }
}

TEST(LinkWaits, PlainWaitsEndAtAnyReplyReplyWaitsOnlyAtTheirOwn) {
    struct Arrival {
        qint64 at;
        QByteArray bytes;
    };
    struct Case {
        const char *name;
        char16_t letter; // 0: a plain wait
        std::vector<Arrival> arrivals;
        qint64 end;
    };
    const Case cases[] = {
        {"plain wait, any frame", 0, {{10, "#A5\r\n"}}, 10},
        {"plain wait, the identity line", 0, {{7, "KVT20v2.05\r\n"}}, 7},
        {"plain wait, its time", 0, {}, 50},
        {"K wait, other frames do not end it",
         u'K',
         {{5, "#F1\r\n#A2\r\n#M1\r\n#S1\r\n"}, {20, "#W3\r\n#Q\r\n#\r\n"}, {30, "KVT20v2\r"}},
         50},
        {"K wait, its frame", u'K', {{5, "#F1\r\n"}, {20, "#K3 0 0 0 0 0 0\r\n"}}, 20},
        {"K wait, its frame behind another in one read", u'K', {{12, "#F1\r\n#K1\r\n"}}, 12},
        {"K wait, its frame cut across reads", u'K', {{12, "#K1 70"}, {14, "50000\r\n"}}, 14},
        {"K wait, its time", u'K', {}, 50},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        LinkRig rig;
        std::optional<qint64> end;
        auto task = c.letter
                        ? waitAndNote(rig.link.ask(u"?"_s, QChar(c.letter), 50), rig.clock, end)
                        : waitAndNote(rig.link.delay(50), rig.clock, end);
        for (const Arrival &a : c.arrivals)
            rig.receiveAt(a.at, a.bytes);
        rig.clock.advance(100 - rig.clock.nowMs());
        EXPECT_EQ(end, c.end);
        EXPECT_EQ(rig.link.waits().pendingCount(), 0);
    }
}

TEST(LinkWaits, AWaitBegunWhileAReplyIsHandledWaitsForTheNextOne) {
    // A procedure resumed by a reply that starts its next wait at once (the read-out's
    // next query) must not have that wait ended by the same reply.
    for (const char16_t letter : {char16_t(0), char16_t(u'K')}) {
        SCOPED_TRACE(letter ? "question" : "plain wait");
        LinkRig rig;
        std::optional<qint64> inner;
        std::optional<QCoro::Task<>> innerTask;
        QObject context;
        QObject::connect(&rig.link, &Link::replyHandled, &context, [&](const ReplyEffects &) {
            if (!innerTask)
                innerTask.emplace(
                    letter ? waitAndNote(rig.link.ask(u"?"_s, QChar(letter), 50), rig.clock, inner)
                           : waitAndNote(rig.link.delay(50), rig.clock, inner));
        });
        rig.receiveAt(10, "#K1\r\n#K2\r\n"); // both frames in one read: still the same reply
        EXPECT_FALSE(inner.has_value());
        rig.receiveAt(30, "#K3\r\n");
        EXPECT_EQ(inner, 30);
    }
}

TEST(LinkFraming, EveryCommandIsOneLineOfWindows1250) {
    struct Case {
        QString text;
        QByteArray line; // empty: nothing goes out
    };
    const Case cases[] = {
        {QStringLiteral("F7050000"), "F7050000\r\n"},
        {QStringLiteral("U132 7 3 15"), "U132 7 3 15\r\n"},
        {QStringLiteral("Q62 ŘÍZENÍ ŽĎ"), "Q62 \xd8\xcdZEN\xcd \x8e\xcf\r\n"},
        {QStringLiteral("Q62 €ß"), "Q62 \x80\xdf\r\n"},
        // What the code page cannot hold is one "?" per character, also outside the
        // basic plane, so the rest keeps its place.
        {QStringLiteral("Q62 ЖÆ") + QString::fromUtf8("\xf0\x9f\x98\x80") + QStringLiteral("X"),
         "Q62 ???X\r\n"},
        // A control character anywhere: the command is refused whole.
        {QStringLiteral("Q62 CQ\r\nS5"), ""},
        {QStringLiteral("Q62 CQ\nS5"), ""},
        {QStringLiteral("W7200000\r1000 10"), ""},
        {QStringLiteral("A1000\t"), ""},
        {QStringLiteral("F70") + QChar(0x7f), ""},
        {QStringLiteral("F70") + QChar(0x85), ""},
        {QStringLiteral("F70") + QChar(0), ""},
    };
    LinkRig rig;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        EXPECT_EQ(rig.link.sendCommand(c.text), !c.line.isEmpty());
        EXPECT_EQ(rig.port.takeWritten(), c.line);
        // The same bytes from the program's own table, which a Qt without the codec uses.
        if (!c.line.isEmpty()) {
            EXPECT_EQ(Windows1250::encode(c.text) + "\r\n", c.line);
        }
    }
}

// The program's own table against Qt's codec, character by character over the basic
// plane: each character the codec writes as one byte, the table writes as the same
// byte; everything else is "?" (the codec writes nothing at all for a few invisible
// characters such as the zero-width space, where the table keeps the place).
TEST(LinkFraming, TheProgramsOwnTableAgreesWithQtsWindows1250Codec) {
    if (!QStringEncoder("windows-1250").isValid())
        GTEST_SKIP() << "this Qt has no windows-1250 codec";
    int upperHalf = 0;
    for (char16_t c = 0x80; c != 0; ++c) {
        if (QChar::isSurrogate(c))
            continue;
        const QString text(QChar{c});
        QStringEncoder codec("windows-1250");
        const QByteArray expected = codec.encode(text);
        const QByteArray own = Windows1250::encode(text);
        if (expected.size() == 1 && expected[0] != '\x1a') {
            EXPECT_EQ(own, expected) << "U+" << std::hex << int(c);
            ++upperHalf;
        } else {
            EXPECT_EQ(own, "?") << "U+" << std::hex << int(c);
        }
    }
    EXPECT_EQ(upperHalf, 128);
}

TEST(LinkIdentity, ALineThatNeverEndsIsHandledWhenTheLineFallsQuiet) {
    LinkRig rig;
    int identities = 0;
    QObject context;
    QObject::connect(&rig.link, &Link::replyHandled, &context, [&](const ReplyEffects &e) {
        identities += e.kind == ReplyEffects::Kind::Identity;
    });
    rig.receiveAt(0, "KVT20v2.");
    rig.receiveAt(30, "05");
    rig.clock.advance(Link::IdentityQuietMs - 1);
    EXPECT_EQ(rig.state.connected, 0) << "the line was not quiet long enough yet";
    rig.clock.advance(1);
    EXPECT_EQ(rig.state.connected, 1);
    EXPECT_EQ(rig.state.firmwareVersion, QStringLiteral("2.05"));
    EXPECT_EQ(identities, 1);
    // What follows is parsed as frames.
    rig.receiveAt(200, "#F7050000\r\n");
    EXPECT_EQ(rig.state.carrierFreq, 7050000);
    rig.clock.advance(1000);
    EXPECT_EQ(identities, 1);
}

// The greeting cut after its first bytes, the rest late (a loaded system): the quiet
// time does not throw the start away, so the generator still connects.
TEST(LinkIdentity, AGreetingWhoseRestComesLateStillConnects) {
    for (const char *start : {"K", "KV"}) {
        SCOPED_TRACE(start);
        LinkRig rig;
        rig.receiveAt(0, start);
        rig.receiveAt(Link::IdentityQuietMs + 200,
                      QByteArray("KVT20v2.05\r\n").mid(qstrlen(start)));
        EXPECT_EQ(rig.state.connected, 1);
        EXPECT_EQ(rig.state.firmwareVersion, QStringLiteral("2.05"));
    }
}

} // namespace
