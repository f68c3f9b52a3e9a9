#include "link/devicestate.h"
#include "link/replyparser.h"

#include <gtest/gtest.h>

#include "tests/support/printers.h"

#include <random>
#include <string_view>

// Random byte streams fed in random pieces. Besides surviving them (this test also
// runs under the sanitizers), the parser promises that reassembly makes the result
// independent of how the stream was cut into reads, as long as no read can start
// an identity line.
namespace {

QByteArray randomStream(std::mt19937 &rng, int length) {
    // Mostly protocol characters, so that many frames are well formed, plus any byte.
    static constexpr std::string_view protocol = "#####FAVMSKWBYTQ0123456789012345.-+e  \r\r\n";
    std::uniform_int_distribution<int> pick(0, 9);
    std::uniform_int_distribution<size_t> protocolChar(0, protocol.size() - 1);
    std::uniform_int_distribution<int> anyByte(0, 255);
    QByteArray stream;
    stream.reserve(length);
    for (int i = 0; i < length; ++i)
        stream.append(pick(rng) < 8 ? protocol[protocolChar(rng)]
                                    : static_cast<char>(anyByte(rng)));
    return stream;
}

QByteArray withoutIdentity(QByteArray stream) {
    qsizetype at;
    while ((at = stream.indexOf("KVT")) >= 0)
        stream[at + 1] = 'x';
    return stream;
}

struct Outcome {
    DeviceState state;
    QString letters; // letter of every handled frame, "_" for none
};

Outcome feedInPieces(const QByteArray &stream, std::mt19937 *rng) {
    Outcome out;
    ReplyParser parser(out.state);
    std::uniform_int_distribution<qsizetype> pieceSize(1, 300);
    qsizetype pos = 0;
    while (pos < stream.size()) {
        const qsizetype n = rng ? pieceSize(*rng) : stream.size();
        for (const ReplyEffects &e : parser.feed(stream.mid(pos, n)))
            out.letters += e.letter.isNull() ? QLatin1Char('_') : e.letter;
        EXPECT_LE(parser.keptCharacters(), ReplyParser::MaxKept);
        pos += n;
    }
    return out;
}

void expectSameState(const DeviceState &a, const DeviceState &b) {
    EXPECT_EQ(a.carrierFreq, b.carrierFreq);
    EXPECT_EQ(a.modFreq, b.modFreq);
    EXPECT_EQ(a.modMode, b.modMode);
    EXPECT_EQ(a.outputOn, b.outputOn);
    EXPECT_EQ(a.sweeping, b.sweeping);
    EXPECT_EQ(a.sweepFreq, b.sweepFreq);
    EXPECT_EQ(a.coarseStep, b.coarseStep);
    EXPECT_EQ(a.deviceId, b.deviceId);
    EXPECT_EQ(a.highestDeviceId, b.highestDeviceId);
    EXPECT_EQ(a.displayOperatorMode, b.displayOperatorMode);
    EXPECT_EQ(a.displayOperator, b.displayOperator);
    EXPECT_EQ(a.productionDate, b.productionDate);
    EXPECT_EQ(a.presetRecord, b.presetRecord);
    EXPECT_EQ(a.connected, b.connected);
}

TEST(ReplyParserFuzz, ChunkingDoesNotChangeTheResult) {
    for (unsigned seed = 1; seed <= 200; ++seed) {
        SCOPED_TRACE(seed);
        std::mt19937 rng(seed);
        const QByteArray stream =
            withoutIdentity(randomStream(rng, std::uniform_int_distribution<int>(1, 3000)(rng)));
        const Outcome whole = feedInPieces(stream, nullptr);
        for (int round = 0; round < 3; ++round) {
            const Outcome pieces = feedInPieces(stream, &rng);
            expectSameState(whole.state, pieces.state);
            EXPECT_EQ(whole.letters, pieces.letters);
            if (testing::Test::HasFailure())
                return; // one reported seed is enough to reproduce
        }
    }
}

TEST(ReplyParserFuzz, AnyBytesIncludingIdentityLinesStayBounded) {
    std::mt19937 rng(20240601);
    std::uniform_int_distribution<int> kind(0, 3);
    DeviceState state;
    ReplyParser parser(state);
    for (int i = 0; i < 3000; ++i) {
        QByteArray read = randomStream(rng, std::uniform_int_distribution<int>(0, 600)(rng));
        switch (kind(rng)) {
        case 0:
            read.prepend("KVT");
            break;
        case 1:
            read = read.left(2).prepend('K');
            break;
        default:
            break;
        }
        parser.feed(read);
        ASSERT_LE(parser.keptCharacters(), ReplyParser::MaxKept);
        ASSERT_LE(state.firmwareVersion.size(), ReplyParser::MaxKept);
        // A frame is shorter than what is kept: "#", its letter and up to 997 more.
        ASSERT_LT(state.presetRecord.size(), ReplyParser::MaxKept - 2);
    }
}

} // namespace
