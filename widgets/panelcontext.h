#pragma once

#include <QString>
#include <functional>
#include <qcoro/qcorotask.h>

class Instrument;
class Link;
class Polling;
class QWidget;
struct DeviceState;
struct Services;

// What every subsystem of the main window works with: the Instrument (what the buttons
// do to the generator) with its record, read-only, its line (whose signals tell of
// replies and of a lost port, and through which the firmware update borrows the port)
// and its poll, the outside world, and a few things of the window itself. The
// Instrument outlives the window; the window outlives every subsystem.
struct PanelContext {
    const DeviceState &state;
    Instrument &instrument;
    Link &link;
    const Services &services;
    Polling &polling;
    QWidget *window;                  // parent of the subsystems' dialogs and windows
    std::function<void()> displayAll; // redraws the panel from the device record
    std::function<bool()> ending;     // true once the program is ending
    // Tells the user that a procedure failed for a reason of the program's own.
    std::function<void(const QString &what)> reportFailure;
};

// Starts a procedure from a click or a timer (see runProcedure): kept alive until it
// ends, ended quietly when the program goes away, any other failure reported.
void startProcedure(const PanelContext &context, QCoro::Task<> task);
