#include "link/commandline.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QDir>

namespace CommandLine {
namespace {

QCommandLineOption traceOption() {
    return QCommandLineOption(
        QStringLiteral("trace"),
        QStringLiteral("Append every line sent to the generator and every frame received, "
                       "with a time stamp, to <file> (for a problem report; at most 50 MB)."),
        QStringLiteral("file"));
}

} // namespace

void describe(QCommandLineParser &parser, const QString &settingsFolder,
              const QString &backupFolder) {
    parser.setApplicationDescription(
        QStringLiteral("KVT Control Panel: drives a KVT bench RF signal generator over its "
                       "USB serial adapter.\n\n"
                       "Settings (KVT.INI) and COM<N> port links: %1\n"
                       "Firmware backups: %2")
            .arg(QDir::toNativeSeparators(settingsFolder), QDir::toNativeSeparators(backupFolder)));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption(traceOption());
}

Request read(const QStringList &arguments) {
    QCommandLineParser parser;
    describe(parser, QString(), QString());
    Request request;
    if (!parser.parse(arguments))
        request.kind = Request::Kind::Error;
    else if (parser.isSet(QStringLiteral("version")))
        request.kind = Request::Kind::Version;
    else if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all")))
        request.kind = Request::Kind::Help;
    else
        request.traceFile = parser.value(QStringLiteral("trace"));
    return request;
}

} // namespace CommandLine
