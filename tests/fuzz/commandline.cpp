// The program's command line: the bytes are its arguments, separated by NUL as in argv,
// after the program's own name.
//
// Promises: any arguments give one answer; a trace file is only ever taken from a
// --trace option, and only when the program is to run.

#include "fuzzcheck.h"

#include "app/commandline.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    QStringList arguments = {QStringLiteral("KVT")};
    for (const QByteArray &argument : fuzzBytes(data, size).split('\0'))
        arguments << QString::fromLocal8Bit(argument);
    const CommandLine::Request request = CommandLine::read(arguments);
    if (request.traceFile.isEmpty())
        return 0;
    FUZZ_CHECK(request.kind == CommandLine::Request::Kind::Run);
    bool traced = false;
    for (const QString &argument : arguments)
        traced = traced || argument.startsWith(QLatin1String("--trace"));
    FUZZ_CHECK(traced);
    return 0;
}
