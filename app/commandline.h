// The program's plumbing, where the program is put together.
//
// app/ holds the library kvtapp (Qt Core only): the command line (this header), the
// file locations and the termination signals, which a program with a window and one
// without both use; and the executable's files that put the program together (main.cpp,
// instrumenthost, windowedprogram, windowlessprogram). Only those include the window
// and remote folders; nothing below includes app/.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

class QCommandLineParser;

// The program's command line: --help, --version, --trace FILE, --remote PORT,
// --remote-address ADDRESS and --no-window, besides the options
// QApplication takes for itself. It is read before the window system is touched, so
// that a wrong option is reported, and the help answered, in a terminal without a
// display as well.
namespace CommandLine {

struct Request {
    enum class Kind {
        Run,   // start the window, or the remote control alone (noWindow)
        Help,  // print the help or the version (QCommandLineParser::process does)
        Error, // an unknown option or a missing value: `error` says which
    };
    Kind kind = Kind::Run;
    QString traceFile; // Run: the file to trace the line into; empty for no trace
    // Run: the values of --remote and --remote-address as written, when given.
    std::optional<QString> remotePort;
    std::optional<QString> remoteAddress;
    // Run: the remote control alone, without a window (only with --remote).
    bool noWindow = false;
    QString error;
};

// The program's options on `parser`, and QApplication's own ones hidden from the help.
// Every option may be written with one dash, as Qt's are (-platform xcb).
void addOptions(QCommandLineParser &parser);

// What `arguments` (the program's name first) ask for.
Request read(const QStringList &arguments);

} // namespace CommandLine
