// The remote server's line splitter alone, fed a client's bytes in reads of any size
// (the first byte chooses the cuts) and in one read.
//
// Promises: the lines do not depend on how the bytes were cut; each is within the
// bound, and a stream without overruns comes back whole: its lines joined with LF are
// the bytes up to the last LF, with the CR before each LF dropped.

#include "fuzzcheck.h"

#include "remote/linesplitter.h"

namespace {

struct Outcome {
    QList<QByteArray> lines;
    bool overrun = false;
};

Outcome split(const QByteArray &stream, FuzzChoices *cuts) {
    Outcome out;
    LineSplitter splitter;
    for (qsizetype at = 0; at < stream.size();) {
        const QByteArray read = stream.mid(at, cuts ? 1 + cuts->next(300) : stream.size());
        at += read.size();
        for (const LineSplitter::Line &line : splitter.feed(read)) {
            FUZZ_CHECK(line.text.size() <= LineSplitter::MaxLine);
            out.lines << (line.overrun ? QByteArray("<overrun>") : line.text);
            out.overrun = out.overrun || line.overrun;
        }
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1)
        return 0;
    FuzzChoices cuts(data[0]);
    const QByteArray stream = fuzzBytes(data + 1, size - 1);
    const Outcome pieces = split(stream, &cuts);
    const Outcome whole = split(stream, nullptr);
    FUZZ_CHECK(pieces.lines == whole.lines);
    if (!whole.overrun) {
        QByteArray expected = stream.left(stream.lastIndexOf('\n') + 1);
        expected.replace("\r\n", "\n");
        QByteArray joined;
        for (const QByteArray &line : whole.lines)
            joined += line + '\n';
        FUZZ_CHECK(joined == expected);
    }
    return 0;
}
