// The serial line: the frame assembler and reply parser fed the bytes in reads of any
// size, as they arrive from the port, with the Link's hand-over of a kept identity line
// when nothing more arrives. The first byte chooses where the rest is cut.
//
// Promises: what is kept stays under its bound, every stored value is in its range,
// and, for a stream without an identity line, the result does not depend on the cuts.

#include "fuzzcheck.h"

#include "link/devicestate.h"
#include "link/replyparser.h"

#include <cmath>

namespace {

struct Outcome {
    DeviceState state;
    QString effects; // per handled item: its kind and letter
};

void record(Outcome &out, const std::vector<ReplyEffects> &effects) {
    for (const ReplyEffects &e : effects) {
        out.effects += e.kind == ReplyEffects::Kind::Identity ? QLatin1Char('I') : QLatin1Char('F');
        out.effects += e.letter.isNull() ? QLatin1Char('_') : e.letter;
        out.effects += QLatin1Char(';');
    }
}

void checkRanges(const ReplyParser &parser, const DeviceState &s) {
    FUZZ_CHECK(parser.keptCharacters() <= ReplyParser::MaxKept);
    FUZZ_CHECK(s.firmwareVersion.size() <= ReplyParser::MaxKept);
    FUZZ_CHECK(s.modelName.isEmpty() ||
               (s.modelName.startsWith(QLatin1String("KVT ")) && s.modelName.size() <= 6));
    // A frame is "#", its letter and less than MaxKept - 2 more before its CR.
    FUZZ_CHECK(s.presetRecord.size() < ReplyParser::MaxKept - 2);
    FUZZ_CHECK(std::isfinite(s.carrierFreq));
    FUZZ_CHECK(s.wideRange >= 0 && s.wideRange <= 9);
    FUZZ_CHECK(s.sweeping == 0 || s.sweeping == 1);
    FUZZ_CHECK(s.connected == 0 || s.connected == 1);
    // "dd.mm.yyyy" with a year the number rules print: bounded however large.
    FUZZ_CHECK(s.productionDate.size() <= 40);
}

Outcome feedInReads(const QByteArray &stream, FuzzChoices *cuts) {
    Outcome out;
    ReplyParser parser(out.state);
    qsizetype at = 0;
    while (at < stream.size()) {
        const qsizetype n = cuts ? 1 + cuts->next(300) : stream.size();
        record(out, parser.feed(stream.mid(at, n)));
        checkRanges(parser, out.state);
        at += n;
        // A quiet moment: the Link hands a kept identity line over as it stands.
        if (cuts && parser.holdsIdentity() && cuts->next(4) == 0)
            record(out, parser.takeIdentity());
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1)
        return 0;
    FuzzChoices cuts(data[0]);
    const QByteArray stream = fuzzBytes(data + 1, size - 1);
    const Outcome pieces = feedInReads(stream, &cuts);
    if (stream.contains("KVT"))
        return 0; // an identity line starts only at the start of a read
    const Outcome whole = feedInReads(stream, nullptr);
    FUZZ_CHECK(pieces.effects == whole.effects);
    const DeviceState &a = pieces.state, &b = whole.state;
    FUZZ_CHECK(a.carrierFreq == b.carrierFreq && a.modFreq == b.modFreq && a.modMode == b.modMode &&
               a.outputOn == b.outputOn && a.sweeping == b.sweeping && a.sweepFreq == b.sweepFreq &&
               a.coarseStep == b.coarseStep && a.deviceId == b.deviceId &&
               a.highestDeviceId == b.highestDeviceId &&
               a.displayOperatorMode == b.displayOperatorMode &&
               a.displayOperator == b.displayOperator && a.productionDate == b.productionDate &&
               a.presetRecord == b.presetRecord && a.connected == b.connected &&
               a.telegraphBusy == b.telegraphBusy);
    return 0;
}
