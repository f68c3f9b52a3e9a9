#pragma once

#include <QString>
#include <functional>
#include <qcoro/qcorotask.h>

class Generator;
class Link;
class Polling;
class QWidget;
struct DeviceState;
struct Services;

// What every subsystem of the main window works with: the one device record, the
// line to the generator and the Generator that drives it, the outside world, the poll,
// and a few things of the window itself. The window owns all of them and outlives every
// subsystem.
struct PanelContext {
    DeviceState &state;
    Link &link;
    Generator &generator; // what the buttons do to the generator, without a window
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
