#include "instrument/connectiontexts.h"

#include "link/serialport.h"

#include <QCoreApplication>

namespace ConnectionTexts {
namespace {

using PortProblem = ConnectionWindows::PortProblem;

// A port the system would not let this user open, and what cures it where the program
// came from: the package's udev rule gives the user at the screen access once the
// session is new or the adapter replugged; the unpacked folder brings an installer that
// places the same rule; the dialout group works for both (and over ssh, and for a
// service without a seat).
QString permissionDenied(bool packaged) {
#ifdef Q_OS_WIN
    Q_UNUSED(packaged)
    return QCoreApplication::translate("StartupWindows", "permission denied");
#else
    const QString dialout = QCoreApplication::translate(
        "StartupWindows", "Or add your user to the group \"dialout\" (sudo usermod -aG "
                          "dialout $USER) and log in again.");
    if (packaged)
        return QCoreApplication::translate(
                   "StartupWindows",
                   "permission denied: the udev rule installed with the package gives the user "
                   "at the screen access to USB serial adapters; log out and in again, or unplug "
                   "and replug the adapter.") +
               u' ' + dialout;
    return QCoreApplication::translate(
               "StartupWindows",
               "permission denied: run the installer beside the program once (sudo ./install), "
               "then unplug and replug the adapter.") +
           u' ' + dialout;
#endif
}

} // namespace

QString describe(const PortProblem &problem, bool packaged) {
    const QString name = QStringLiteral("COM%1").arg(problem.portNumber);
    switch (problem.kind) {
    case PortProblem::Kind::Busy:
        return name + QStringLiteral(": in use by another program");
    case PortProblem::Kind::PermissionDenied:
        return name + QStringLiteral(": ") + permissionDenied(packaged);
    case PortProblem::Kind::CannotOpen:
        if (problem.error == SerialPort::CannotConfigure)
            return name + QStringLiteral(": cannot be set to 115200,n,8,1");
        return name + QStringLiteral(": cannot be opened (error %1)").arg(problem.error);
    case PortProblem::Kind::Silent:
        break;
    }
    return name + QStringLiteral(": no answer from a generator (%1)").arg(problem.systemName);
}

// A search that began at a saved port above the retry port never looked below it, so an
// adapter there is not "invisible": the lines say that those ports were not tried.
QStringList searchLines(const SearchedPorts &searched, const QStringList &problems,
                        bool anyPortFound, Platform platform, bool withRetry) {
    QStringList lines;
    const bool searchKnown = searched.firstPort > 0;
    const bool lowerPortsLeft = searchKnown && searched.firstPort > searched.retryPort;
    if (searchKnown) {
        if (searched.lastPort <= searched.firstPort)
            lines << QCoreApplication::translate("ConnectionFailureDialog", "Port tried: COM%1.")
                         .arg(searched.firstPort);
        else if (lowerPortsLeft && searched.fromSavedPort)
            lines << QCoreApplication::translate(
                         "ConnectionFailureDialog",
                         "Ports tried: COM%1 to COM%2, upward from the port saved in KVT.INI.")
                         .arg(searched.firstPort)
                         .arg(searched.lastPort);
        else
            lines << QCoreApplication::translate("ConnectionFailureDialog",
                                                 "Ports tried: COM%1 to COM%2.")
                         .arg(searched.firstPort)
                         .arg(searched.lastPort);
        if (lowerPortsLeft)
            lines << QCoreApplication::translate("ConnectionFailureDialog",
                                                 "Ports below COM%1 were not tried.")
                         .arg(searched.firstPort);
    }
    if (!problems.isEmpty())
        lines << QCoreApplication::translate("ConnectionFailureDialog",
                                             "Ports found but not usable:")
              << problems;
    if (!anyPortFound) {
        // Only a search from the bottom has seen every adapter the system offers.
        if (platform == Platform::Linux && !lowerPortsLeft)
            lines << QCoreApplication::translate("ConnectionFailureDialog",
                                                 "No serial adapter is visible to the system.");
        else if (searchKnown)
            lines << QCoreApplication::translate("ConnectionFailureDialog",
                                                 "None of the ports tried exists.");
    }
    if (searchKnown && withRetry)
        lines << QCoreApplication::translate("ConnectionFailureDialog",
                                             "Retry starts again from COM%1.")
                     .arg(searched.retryPort);
    if (platform == Platform::Linux) {
        if (!lines.isEmpty())
            lines << QString();
        lines << QCoreApplication::translate(
            "ConnectionFailureDialog",
            "Check the generator's USB cable. \"ls -l /dev/serial/by-id\" lists the "
            "serial adapters the system sees; \"sudo dmesg\" (or \"journalctl -k\") "
            "shows what the kernel logged when the adapter was plugged in.");
    }
    return lines;
}

} // namespace ConnectionTexts
