// What the command line asks for. Help and version must be recognised in every form
// the parser accepts, since the program answers them before it needs a display.
#include "link/commandline.h"

#include <gtest/gtest.h>

namespace {

using Kind = CommandLine::Request::Kind;

TEST(CommandLine, EachFormGivesItsAnswer) {
    const struct {
        QStringList arguments; // after the program's name
        Kind kind;
        QString traceFile;
    } cases[] = {
        {{}, Kind::Run, {}},
        {{"--trace", "/tmp/kvt.log"}, Kind::Run, "/tmp/kvt.log"},
        {{"--trace=a", "--trace=b"}, Kind::Run, "b"}, // the last one counts
        {{"COM5"}, Kind::Run, {}},                    // a stray word is ignored, as before
        {{"-h"}, Kind::Help, {}},
        {{"--help-all"}, Kind::Help, {}},
        {{"-hv"}, Kind::Version, {}}, // compact short options; the version wins
        {{"--trace", "x", "--help"}, Kind::Help, {}},
        {{"--trace"}, Kind::Error, {}},
        {{"--frequency", "--help"}, Kind::Error, {}}, // wrong even when it asks for help
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.arguments.join(QLatin1Char(' ')).toStdString());
        const CommandLine::Request request =
            CommandLine::read(QStringList{QStringLiteral("KVT")} + c.arguments);
        EXPECT_EQ(request.kind, c.kind);
        EXPECT_EQ(request.traceFile, c.traceFile);
    }
}

} // namespace
