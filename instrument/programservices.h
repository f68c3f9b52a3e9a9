#pragma once

#include <QDate>
#include <QString>
#include <functional>

class ProcessStarter;
class SerialPort;
class TimeSource;

// What the program takes from the outside world apart from its windows: the port, the
// clock, outside programs, its folders, today's date and the way to end. A program
// without a window builds these alone; the window side adds its dialogs (Services).
// Tests give a fake port, a manual clock and played outside programs.
struct ProgramServices {
    SerialPort *port = nullptr;
    TimeSource *time = nullptr;
    ProcessStarter *processes = nullptr;
    QString programFolder;        // the program's own folder: avrdude is looked for there
    QString settingsFolder;       // where KVT.INI and the COM<N> links live
    QString backupFolder;         // where the firmware backups go
    bool packaged = false;        // installed by the Debian package (not an unpacked folder)
    std::function<QDate()> today; // today's date
    std::function<void()> quit;   // ends the program at once
};
