#pragma once

#include <QString>
#include <functional>
#include <qcoro/qcorotask.h>

// Starts a procedure from a click or a timer. The task (already running: a
// QCoro::Task starts at once) is kept alive until it ends. A WaitCancelled
// ending it (the window or the program is going away) ends it quietly; any other
// exception is logged and handed to `report`, never lost. `report` runs only if the
// procedure failed, from the event loop after the procedure has unwound (never inside
// the reply handling or wake-up that ended it), so it must check itself whether its
// window still exists.
void runProcedure(QCoro::Task<> task, std::function<void(const QString &what)> report);
