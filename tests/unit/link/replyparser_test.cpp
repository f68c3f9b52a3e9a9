#include "link/devicestate.h"
#include "link/replyparser.h"
#include "panel/panelview.h"

#include <gtest/gtest.h>

#include "tests/support/printers.h"

#include <functional>
#include <vector>

namespace {

using Effects = std::vector<ReplyEffects>;

// Feeds each read in turn and returns all effects, as the window would see them.
Effects feedAll(ReplyParser &parser, const std::vector<QByteArray> &reads) {
    Effects all;
    for (const QByteArray &read : reads) {
        const Effects e = parser.feed(read);
        all.insert(all.end(), e.begin(), e.end());
    }
    return all;
}

int frames(const Effects &e) {
    return static_cast<int>(std::count_if(e.begin(), e.end(), [](const ReplyEffects &x) {
        return x.kind == ReplyEffects::Kind::Frame;
    }));
}

struct FrameCase {
    const char *name;
    std::vector<QByteArray> reads;
    std::function<void(DeviceState &)> before;
    std::function<void(const DeviceState &)> check;
    int frameCount;
};

TEST(ReplyParserTest, FramesUpdateTheRecord) {
    const auto nothing = [](DeviceState &) {};
    const FrameCase cases[] = {
        {"two frames in one read",
         {"#F7050000\r\n#A1000\r\n"},
         [](DeviceState &s) { s.sweeping = 1; },
         [](const DeviceState &s) {
             EXPECT_EQ(s.carrierFreq, 7050000);
             EXPECT_EQ(s.sweeping, 0);
             EXPECT_EQ(s.modFreq, 1000);
         },
         2},
        {"carrier keeps its fraction",
         {"#F7050000.5\r"},
         nothing,
         [](const DeviceState &s) { EXPECT_EQ(s.carrierFreq, 7050000.5); },
         1},
        {"garbage before the first frame and after the last CR",
         {"xx\x01\xff#M2\r\nnoise"},
         nothing,
         [](const DeviceState &s) { EXPECT_EQ(s.modMode, 2); },
         1},
        {"cut frame completed by the next read",
         {"#F70", "50000\r\n"},
         nothing,
         [](const DeviceState &s) { EXPECT_EQ(s.carrierFreq, 7050000); },
         1},
        {"cut frame completed by whatever arrives up to CR",
         {"#F70", "zz#A5\r\n"},
         nothing,
         [](const DeviceState &s) {
             EXPECT_EQ(s.carrierFreq, 70); // "#F70zz#A5": the number ends at "z"
             EXPECT_EQ(s.modFreq, 0);
         },
         1},
        {"frame split into single bytes",
         {"#", "W", "1", "2", "3", "4", "5", "6", "7", "8", "\r", "\n"},
         nothing,
         [](const DeviceState &s) {
             EXPECT_EQ(s.sweepFreq, 12345678);
             EXPECT_EQ(s.sweeping, 1);
         },
         1},
        {"lone LF and CR are noise",
         {"\n", "\r", "\r\n#S0\r\n", "\n"},
         [](DeviceState &s) { s.outputOn = 1; },
         [](const DeviceState &s) { EXPECT_EQ(s.outputOn, 0); },
         1},
        {"# CR and one more character: one frame without a letter",
         {"#\rx"},
         nothing,
         [](const DeviceState &) {},
         1},
        {"frames without a letter or with an unknown one change nothing",
         {"#\r#\r\n#Z99\r#f1\r"},
         nothing,
         [](const DeviceState &s) {
             EXPECT_EQ(s.carrierFreq, 0);
             EXPECT_EQ(s.modFreq, 0);
         },
         4},
        {"non-numeric value stores 0",
         {"#Aabc\r"},
         [](DeviceState &s) { s.modFreq = 400; },
         [](const DeviceState &s) { EXPECT_EQ(s.modFreq, 0); },
         1},
        {"A rounds halves to even",
         {"#A1000.5\r#V2.5\r"},
         nothing,
         [](const DeviceState &s) {
             EXPECT_EQ(s.modFreq, 1000);
             EXPECT_EQ(s.coarseStep, 2);
         },
         2},
        {"A holds the whole 16-bit unsigned range",
         {"#A65535\r"},
         nothing,
         [](const DeviceState &s) { EXPECT_EQ(s.modFreq, 65535); },
         1},
        {"values that do not fit keep the old ones",
         {"#A65536\r#A-1\r#S40000\r#M-32769\r#V2147483648\r#W1e400\r#F1e400\r#Y9"
          "99999999999\r"},
         [](DeviceState &s) {
             s.modFreq = 1000;
             s.outputOn = 1;
             s.modMode = 3;
             s.coarseStep = 100;
             s.sweepFreq = 555;
             s.carrierFreq = 7000000;
             s.displayOperator = 455000;
         },
         [](const DeviceState &s) {
             EXPECT_EQ(s.modFreq, 1000);
             EXPECT_EQ(s.outputOn, 1);
             EXPECT_EQ(s.modMode, 3);
             EXPECT_EQ(s.coarseStep, 100);
             EXPECT_EQ(s.sweepFreq, 555);
             EXPECT_EQ(s.carrierFreq, 7000000);
             EXPECT_EQ(s.sweeping, 0); // the F frame still ends the sweep
             EXPECT_EQ(s.displayOperatorMode, 9);
             EXPECT_EQ(s.displayOperator, 455000);
         },
         8},
        {"K keeps the value text exactly",
         {"#K 1 7050000 1000 2 1  tail\r\n"},
         nothing,
         [](const DeviceState &s) {
             EXPECT_EQ(s.presetRecord, QStringLiteral(" 1 7050000 1000 2 1  tail"));
         },
         1},
        {"Y: first digit is the mode, the rest the operand",
         {"#Y1455000\r"},
         nothing,
         [](const DeviceState &s) {
             EXPECT_EQ(s.displayOperatorMode, 1);
             EXPECT_EQ(s.displayOperator, 455000);
         },
         1},
        {"Y with a non-digit mode reads it as 0",
         {"#Yx12\r"},
         [](DeviceState &s) { s.displayOperatorMode = 3; },
         [](const DeviceState &s) {
             EXPECT_EQ(s.displayOperatorMode, 0);
             EXPECT_EQ(s.displayOperator, 12);
         },
         1},
        {"B below the highest keeps the highest",
         {"#B1234\r"},
         [](DeviceState &s) { s.highestDeviceId = 2000; },
         [](const DeviceState &s) {
             EXPECT_EQ(s.deviceId, 1234);
             EXPECT_EQ(s.highestDeviceId, 2000);
         },
         1},
        {"B above the highest raises it",
         {"#B3000\r"},
         [](DeviceState &s) { s.highestDeviceId = 2000; },
         [](const DeviceState &s) { EXPECT_EQ(s.highestDeviceId, 3000); },
         1},
        {"B when the highest is 0 takes even a negative id",
         {"#B-7\r"},
         nothing,
         [](const DeviceState &s) {
             EXPECT_EQ(s.deviceId, -7);
             EXPECT_EQ(s.highestDeviceId, -7);
         },
         1},
        {"B that does not fit changes neither",
         {"#B99999999999\r"},
         [](DeviceState &s) {
             s.deviceId = 5;
             s.highestDeviceId = 0;
         },
         [](const DeviceState &s) {
             EXPECT_EQ(s.deviceId, 5);
             EXPECT_EQ(s.highestDeviceId, 0);
         },
         1},
        {"T pads day and month and adds 2000 to the year",
         {"#T7 3 15\r"},
         nothing,
         [](const DeviceState &s) { EXPECT_EQ(s.productionDate, QStringLiteral("07.03.2015")); },
         1},
        {"T keeps the last two characters of day and month",
         {"#T123 12 9\r"},
         nothing,
         [](const DeviceState &s) { EXPECT_EQ(s.productionDate, QStringLiteral("23.12.2009")); },
         1},
        {"T with empty parts",
         {"#T  \r"},
         nothing,
         [](const DeviceState &s) { EXPECT_EQ(s.productionDate, QStringLiteral("0.0.2000")); },
         1},
        {"T without two spaces is ignored",
         {"#T7 3\r#T7\r#T\r"},
         [](DeviceState &s) { s.productionDate = QStringLiteral("01.01.2014"); },
         [](const DeviceState &s) { EXPECT_EQ(s.productionDate, QStringLiteral("01.01.2014")); },
         3},
        {"Q ends the telegraph",
         {"#Q\r\n"},
         [](DeviceState &s) { s.telegraphBusy = true; },
         [](const DeviceState &s) { EXPECT_EQ(s.telegraphBusy, 0); },
         1},
        {"a frame ends at its CR however far, a # inside it is part of its value",
         {"#K1 " + QByteArray(150, '7') + "x#F5\r\n"},
         [](DeviceState &s) { s.carrierFreq = 1; },
         [](const DeviceState &s) {
             EXPECT_EQ(s.presetRecord, "1 " + QString(150, QLatin1Char('7')) + "x#F5");
             EXPECT_EQ(s.carrierFreq, 1);
         },
         1},
        {"a long frame cut across reads is completed, not re-read from its middle",
         {"#K1 " + QByteArray(300, '7'), "x#F5", "\r\n#A3\r"},
         [](DeviceState &s) { s.carrierFreq = 1; },
         [](const DeviceState &s) {
             EXPECT_EQ(s.presetRecord.size(), 306);
             EXPECT_EQ(s.carrierFreq, 1);
             EXPECT_EQ(s.modFreq, 3);
         },
         2},
        {"a frame longer than what is kept is dropped whole, up to its CR",
         {"#K" + QByteArray(1200, '#') + "#F5\r#A3\r"},
         [](DeviceState &s) { s.carrierFreq = 1; },
         [](const DeviceState &s) {
             EXPECT_EQ(s.presetRecord, QString());
             EXPECT_EQ(s.carrierFreq, 1);
             EXPECT_EQ(s.modFreq, 3);
         },
         1},
        {"... also when it comes in many reads",
         {"#K" + QByteArray(600, '#'), QByteArray(600, '#'), "#F5", QByteArray(600, '#'),
          "#F5\r#A3\r"},
         [](DeviceState &s) { s.carrierFreq = 1; },
         [](const DeviceState &s) {
             EXPECT_EQ(s.presetRecord, QString());
             EXPECT_EQ(s.carrierFreq, 1);
             EXPECT_EQ(s.modFreq, 3);
         },
         1},
        {"CR exactly at the 128th character ends the frame",
         {"#K" + QByteArray(125, 'b') + "\r#A77\r"},
         nothing,
         [](const DeviceState &s) {
             EXPECT_EQ(s.presetRecord, QString(125, QLatin1Char('b')));
             EXPECT_EQ(s.modFreq, 77);
         },
         2},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        DeviceState state;
        c.before(state);
        ReplyParser parser(state);
        Effects effects;
        for (const QByteArray &read : c.reads) {
            const Effects e = parser.feed(read);
            effects.insert(effects.end(), e.begin(), e.end());
        }
        c.check(state);
        EXPECT_EQ(frames(effects), c.frameCount);
        EXPECT_EQ(effects.size(), static_cast<size_t>(c.frameCount));
    }
}

TEST(ReplyParserTest, SweepCaptionsAndLetters) {
    DeviceState state;
    ReplyParser parser(state);
    // The caption is drawn from what each frame stored.
    const auto caption = [&] { return renderCaptions(state, {}).sweepButton; };
    const Effects e = parser.feed("#W1000\r\n");
    EXPECT_EQ(caption(), QStringLiteral("Pause"));
    const Effects f = parser.feed("#F2000\r\n");
    EXPECT_EQ(caption(), QStringLiteral("Sweep"));
    const Effects rest = parser.feed("#A5\r\n#\r");
    EXPECT_EQ(caption(), QStringLiteral("Sweep")) << "other frames leave it";
    ASSERT_EQ(e.size() + f.size() + rest.size(), 4u);
    EXPECT_EQ(e[0].letter, QLatin1Char('W'));
    EXPECT_EQ(f[0].letter, QLatin1Char('F'));
    EXPECT_EQ(rest[0].letter, QLatin1Char('A'));
    EXPECT_TRUE(rest[1].letter.isNull());
    EXPECT_EQ(state.sweeping, 0);
}

TEST(ReplyParserTest, CutFrameIsKeptUntilItsCr) {
    DeviceState state;
    state.carrierFreq = 1;
    ReplyParser parser(state);
    EXPECT_TRUE(parser.feed("#F70").empty());
    EXPECT_EQ(state.carrierFreq, 1);
    EXPECT_EQ(parser.keptCharacters(), 4);
    parser.reset();
    EXPECT_EQ(parser.keptCharacters(), 0);
    EXPECT_TRUE(parser.feed("50000\r\n").empty()); // no "#": the reset dropped the start
    EXPECT_EQ(state.carrierFreq, 1);
}

struct IdentityCase {
    const char *name;
    std::vector<QByteArray> reads;
    const char *model;
    QString version;
    int16_t wideRangeBefore;
    int16_t wideRange;
    bool kvt20;
    bool subtitle;
};

TEST(ReplyParserTest, IdentityLine) {
    const IdentityCase cases[] = {
        {"KVT 20", {"KVT20v2.05\r\n"}, "KVT 20", QStringLiteral("2.05"), 1, 0, true, false},
        {"KVT 11", {"KVT11v1.3\r\n"}, "KVT 11", QStringLiteral("1.3"), 0, 1, false, true},
        {"other digit", {"KVT17v3\r"}, "KVT 17", QStringLiteral("3"), 0, 7, false, false},
        {"no v: the whole line",
         {"KVTx9\r\n"},
         "KVT x9",
         QStringLiteral("KVTx9"),
         1,
         9,
         false,
         false},
        {"non-digit fifth character keeps the range",
         {"KVT1xv1\r"},
         "KVT 1x",
         QStringLiteral("1"),
         0,
         0,
         false,
         false},
        {"just KVT", {"KVT\r"}, "KVT ", QStringLiteral("KVT"), 0, 0, false, false},
        {"four characters", {"KVT2\r"}, "KVT 2", QStringLiteral("KVT2"), 1, 1, false, true},
        {"split into pieces",
         {"K", "V", "T1", "0v1.", "7", "\r\n"},
         "KVT 10",
         QStringLiteral("1.7"),
         1,
         0,
         false,
         false},
        {"pending frame dropped by a restart",
         {"#F70", "KVT20v2\r"},
         "KVT 20",
         QStringLiteral("2"),
         0,
         0,
         true,
         false},
        {"pending identity restarted",
         {"KVT11v1", "KVT20v2\r"},
         "KVT 20",
         QStringLiteral("2"),
         0,
         0,
         true,
         false},
        {"v after CR is not the version",
         {"KVT10\rv9\r"},
         "KVT 10",
         QStringLiteral("KVT10"),
         0,
         0,
         false,
         false},
        {"over-long line handled at 1000 characters",
         {"KVT20v" + QByteArray(600, '1'), QByteArray(600, '2')},
         "KVT 20",
         QString(600, QLatin1Char('1')) + QString(394, QLatin1Char('2')),
         0,
         0,
         true,
         false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        DeviceState state;
        state.wideRange = c.wideRangeBefore;
        ReplyParser parser(state);
        Effects effects;
        for (const QByteArray &read : c.reads) {
            const Effects e = parser.feed(read);
            effects.insert(effects.end(), e.begin(), e.end());
        }
        ASSERT_EQ(effects.size(), 1u);
        EXPECT_EQ(effects[0].kind, ReplyEffects::Kind::Identity);
        EXPECT_EQ(state.modelName, QString::fromLatin1(c.model));
        EXPECT_EQ(state.firmwareVersion, c.version);
        EXPECT_EQ(state.wideRange, c.wideRange);
        EXPECT_EQ(state.connected, 1);
        EXPECT_EQ(state.carrierFreq, 0);
        const PanelCaptions captions = renderCaptions(state, {});
        EXPECT_EQ(captions.kvt20Controls, c.kvt20);
        EXPECT_EQ(captions.wideSubtitle ? WideSubtitle : QString(),
                  c.subtitle ? QStringLiteral("Service Signal Generator 0-70Mhz") : QString());
        EXPECT_EQ(parser.keptCharacters(), 0);
    }
}

TEST(ReplyParserTest, IdentityOnlyAtTheStartOfARead) {
    DeviceState state;
    ReplyParser parser(state);
    EXPECT_TRUE(parser.feed("xKVT20v2\r\n").empty());
    EXPECT_TRUE(parser.feed("#A1\r\nKVT20v2\r\n").size() == 1);
    EXPECT_EQ(state.connected, 0);
    // "K" that does not become "KVT" is noise before the frames that follow it.
    EXPECT_TRUE(parser.feed("K").empty());
    EXPECT_EQ(frames(parser.feed("#A9\r")), 1);
    EXPECT_EQ(state.modFreq, 9);
    EXPECT_EQ(state.connected, 0);
}

TEST(ReplyParserTest, IdentityLineEndsAtCrLfOrHashAndFramesAfterItCount) {
    struct Case {
        const char *name;
        std::vector<QByteArray> reads;
        QString version;
        int frames;
    };
    const Case cases[] = {
        {"CR LF, frames in the same read", {"KVT20v2.05\r\n#F7050000\r\n"}, "2.05", 1},
        {"LF alone", {"KVT20v2.05\n#F7050000\r\n"}, "2.05", 1},
        {"no end: the next #", {"KVT20v2.05#F7050000\r\n"}, "2.05", 1},
        {"no end: the next # in the next read", {"KVT20v2.05", "#F7050000\r\n"}, "2.05", 1},
        {"frames in the reads after it", {"KVT20v2.05", "\r\n#F1\r\n", "#F7050000\r\n"}, "2.05", 2},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        DeviceState state;
        ReplyParser parser(state);
        const Effects effects = feedAll(parser, c.reads);
        ASSERT_EQ(effects.size(), static_cast<size_t>(c.frames + 1));
        EXPECT_EQ(effects[0].kind, ReplyEffects::Kind::Identity);
        EXPECT_EQ(state.firmwareVersion, c.version);
        EXPECT_EQ(state.carrierFreq, 7050000);
        EXPECT_EQ(parser.keptCharacters(), 0);
    }
}

TEST(ReplyParserTest, AnUnendedIdentityLineIsTakenAsItStands) {
    DeviceState state;
    ReplyParser parser(state);
    EXPECT_TRUE(parser.feed("KVT20v2.0").empty());
    EXPECT_TRUE(parser.holdsIdentity());
    const Effects e = parser.takeIdentity();
    ASSERT_EQ(e.size(), 1u);
    EXPECT_EQ(state.firmwareVersion, QStringLiteral("2.0"));
    EXPECT_EQ(parser.feed("5\r\n#A3\r").size(), 1u) << "the rest is no identity line";
    EXPECT_EQ(state.modFreq, 3);
    // "K" alone is no identity line yet: nothing to take, but it stays for its rest,
    // however late that comes.
    EXPECT_TRUE(parser.feed("K").empty());
    EXPECT_TRUE(parser.takeIdentity().empty());
    EXPECT_EQ(parser.keptCharacters(), 1);
    ASSERT_EQ(parser.feed("VT20v2.06\r\n").size(), 1u);
    EXPECT_EQ(state.firmwareVersion, QStringLiteral("2.06"));
    EXPECT_EQ(parser.keptCharacters(), 0);
}

TEST(ReplyParserTest, KeptTextStaysBoundedUnderAFloodWithoutCr) {
    const QByteArray floods[] = {
        QByteArray(5000, 'x'),
        QByteArray(5000, '#'),
        "#F" + QByteArray(5000, '1'),
        "KVT" + QByteArray(5000, 'v'),
    };
    for (const QByteArray &flood : floods) {
        SCOPED_TRACE(flood.left(4).constData());
        DeviceState state;
        ReplyParser parser(state);
        for (qsizetype i = 0; i < flood.size(); i += 37) {
            parser.feed(flood.mid(i, 37));
            ASSERT_LE(parser.keptCharacters(), ReplyParser::MaxKept);
        }
        parser.feed(flood); // and in one piece
        ASSERT_LE(parser.keptCharacters(), ReplyParser::MaxKept);
    }
}

} // namespace
