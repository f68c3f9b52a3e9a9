// The KVT control program: reads the command line before any application object
// exists, then starts the front panel (with the remote control when asked) or, with
// --no-window, the remote control alone, which needs no display.
#include "app/commandline.h"
#include "app/instrumenthost.h"
#include "app/windowedprogram.h"
#include "app/windowlessprogram.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <cstdio>
#include <cstdlib>

namespace {

// --help and --version, answered without a display (in a terminal, over ssh). The help
// names the folders where the program keeps its files. Ends the program.
[[noreturn]] void answerHelp(int &argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kvt"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KVT_PROGRAM_VERSION));
    const FileLocations files = locateProgramFiles();
    const QString folders = files.error.isEmpty()
                                ? QStringLiteral("Settings (KVT.INI) and COM<N> port links: %1\n"
                                                 "Firmware backups: %2")
                                      .arg(QDir::toNativeSeparators(files.settingsFolder),
                                           QDir::toNativeSeparators(files.backupFolder))
                                : files.error;
    QCommandLineParser parser;
    CommandLine::addOptions(parser);
    parser.setApplicationDescription(
        QStringLiteral("KVT Control Panel: drives a KVT bench RF signal generator over its "
                       "USB serial adapter.\n\n") +
        folders);
    parser.process(app); // prints the answer and ends the program
    std::exit(0);
}

} // namespace

int main(int argc, char *argv[]) {
    // The command line is read before the window system is touched, so a wrong option
    // is reported (and --help answered) in a terminal without a display as well.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const CommandLine::Request request = CommandLine::read(arguments);
    if (request.kind == CommandLine::Request::Kind::Error) {
        std::fprintf(stderr, "%s: %s\n", qUtf8Printable(QFileInfo(arguments.value(0)).fileName()),
                     qUtf8Printable(request.error));
        return 1;
    }
    if (request.kind == CommandLine::Request::Kind::Help)
        answerHelp(argc, argv);

    StartOptions options;
    options.traceFile = request.traceFile;
    options.remoteAddress = request.remoteAddress.value_or(QString());
    if (request.remotePort) {
        bool ok = false;
        const uint number = request.remotePort->toUInt(&ok);
        if (!ok || number == 0 || number > 65535) {
            std::fprintf(stderr, "KVT: --remote needs a port number from 1 to 65535, not %s\n",
                         qUtf8Printable(*request.remotePort));
            return 1;
        }
        options.remotePort = static_cast<quint16>(number);
    } else if (request.remoteAddress) {
        std::fprintf(stderr, "KVT: --remote-address is used only with --remote PORT\n");
    }
    return request.noWindow ? runWithoutWindow(argc, argv, options)
                            : runWithWindow(argc, argv, options);
}
