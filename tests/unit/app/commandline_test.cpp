// What the command line asks for. It is read before the window system is touched, so
// QApplication's own options must pass, and help, version and errors be recognised in
// every form the parser accepts.
#include "app/commandline.h"

#include <gtest/gtest.h>

namespace {

using Kind = CommandLine::Request::Kind;

TEST(CommandLine, EachFormGivesItsAnswer) {
    const struct {
        QStringList arguments; // after the program's name
        Kind kind;
        QString traceFile;
        bool noWindow = false;
    } cases[] = {
        {{}, Kind::Run, {}},
        {{"--trace", "/tmp/kvt.log"}, Kind::Run, "/tmp/kvt.log"},
        {{"--trace=a", "--trace=b"}, Kind::Run, "b"}, // the last one counts
        {{"-trace", "x"}, Kind::Run, "x"},            // one dash, as Qt's own options
        {{"-platform", "offscreen", "-reverse", "--trace", "t"}, Kind::Run, "t"},
        {{"COM5"}, Kind::Run, {}}, // a stray word is ignored
        {{"-h"}, Kind::Help, {}},
        {{"--help-all"}, Kind::Help, {}},
        {{"-version"}, Kind::Help, {}},
        {{"--trace", "x", "--help"}, Kind::Help, {}},
        {{"-hv"}, Kind::Error, {}}, // a word after one dash is one option
        {{"--trace"}, Kind::Error, {}},
        {{"--frequency", "--help"}, Kind::Error, {}}, // wrong even when it asks for help
        {{"--no-window", "--remote", "5025", "-trace", "t"}, Kind::Run, "t", true},
        {{"--no-window"}, Kind::Error, {}, true}, // nothing would drive the generator
        {{"--no-window", "--remote-address", "0.0.0.0"}, Kind::Error, {}, true},
        {{"--no-window", "--help"}, Kind::Help, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.arguments.join(QLatin1Char(' ')).toStdString());
        const CommandLine::Request request =
            CommandLine::read(QStringList{QStringLiteral("KVT")} + c.arguments);
        EXPECT_EQ(request.kind, c.kind);
        EXPECT_EQ(request.traceFile, c.traceFile);
        EXPECT_EQ(request.noWindow, c.noWindow);
    }
}

} // namespace
