#pragma once

#include <QString>
#include <QStringList>

class QCommandLineParser;

// The program's command line: --help, --version and --trace FILE. Reading it is kept
// apart from answering it, so that the program can tell before it touches the window
// system whether it only has to print an answer (which then works without a display).
namespace CommandLine {

struct Request {
    enum class Kind {
        Run,     // start the window
        Help,    // print the help (--help, -h, -?, --help-all)
        Version, // print the version (--version, -v)
        Error,   // an unknown option or a missing value: say so and end with status 1
    };
    Kind kind = Kind::Run;
    QString traceFile; // Run: the file to trace the line into; empty for no trace
};

// The program's options on `parser`. The help names the folders where the program
// keeps its files.
void describe(QCommandLineParser &parser, const QString &settingsFolder,
              const QString &backupFolder);

// What `arguments` (the program's name first) ask for, decided as
// QCommandLineParser::process decides it: a wrong command line is an error even when
// it also asks for help, and --version wins over --help.
Request read(const QStringList &arguments);

} // namespace CommandLine
