// The program's command line: the bytes are its arguments, separated by NUL as in argv,
// after the program's own name.
//
// Promises: any arguments give one answer; a trace file is only ever the value of a trace
// option ("--trace FILE", "--trace=FILE", or the same with one dash, which the program
// accepts on purpose; FILE may itself start with a dash or be "--"), and only when the
// program is to run.

#include "fuzzcheck.h"

#include "app/commandline.h"

#include <QRegularExpression>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    QStringList arguments = {QStringLiteral("KVT")};
    for (const QByteArray &argument : fuzzBytes(data, size).split('\0'))
        arguments << QString::fromLocal8Bit(argument);
    const CommandLine::Request request = CommandLine::read(arguments);
    if (request.traceFile.isEmpty())
        return 0;
    FUZZ_CHECK(request.kind == CommandLine::Request::Kind::Run);
    static const QRegularExpression option(
        QRegularExpression::anchoredPattern(QStringLiteral("--?trace(?:=(.*))?")),
        QRegularExpression::DotMatchesEverythingOption);
    bool traced = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QRegularExpressionMatch match = option.match(arguments[i]);
        traced = traced || (match.hasMatch() &&
                            (match.hasCaptured(1) ? match.captured(1) : arguments.value(i + 1)) ==
                                request.traceFile);
    }
    FUZZ_CHECK(traced);
    return 0;
}
