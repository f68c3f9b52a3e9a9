// What a remote-control client sends: its bytes cut into lines by the server's line
// splitter, each line parsed into commands, as the server does before it carries them
// out. The first byte chooses where the bytes are cut into reads.
//
// Promises: every line stays within the splitter's bound and holds no LF; only the last
// command of a line may carry an error, which is then one with a standard text (what
// SYSTem:ERRor? reports from the error queue) and no header; a number is never NaN and
// a string is never longer than its line.

#include "fuzzcheck.h"

#include "remote/linesplitter.h"
#include "remote/scpiparser.h"

#include <cmath>

namespace {

void checkLine(const QByteArray &line) {
    const QList<ScpiCommand> commands = ScpiParser::parse(line);
    for (qsizetype i = 0; i < commands.size(); ++i) {
        const ScpiCommand &c = commands[i];
        FUZZ_CHECK(!std::isnan(c.number));
        FUZZ_CHECK(c.text.size() <= line.size());
        if (c.error == 0) {
            FUZZ_CHECK(c.header != ScpiCommand::Header::None);
            continue;
        }
        FUZZ_CHECK(i == commands.size() - 1);
        FUZZ_CHECK(c.header == ScpiCommand::Header::None);
        FUZZ_CHECK(c.error < 0 && !ScpiParser::errorText(c.error).isEmpty());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1)
        return 0;
    FuzzChoices cuts(data[0]);
    const QByteArray stream = fuzzBytes(data + 1, size - 1);
    LineSplitter splitter;
    for (qsizetype at = 0; at < stream.size();) {
        const QByteArray read = stream.mid(at, 1 + cuts.next(200));
        at += read.size();
        for (const LineSplitter::Line &line : splitter.feed(read)) {
            FUZZ_CHECK(line.text.size() <= LineSplitter::MaxLine);
            FUZZ_CHECK(!line.text.contains('\n'));
            if (line.overrun)
                FUZZ_CHECK(line.text.isEmpty());
            else
                checkLine(line.text);
        }
    }
    return 0;
}
