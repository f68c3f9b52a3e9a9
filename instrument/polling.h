#pragma once

#include <qcoro/qcorotask.h>

// The poll of the generator's parameters, as the subsystems that change them or
// that must keep the line quiet see it. Poller (poller.h) owns the poll timer and
// implements this; start-up switches it on once the generator has answered.
class Polling {
public:
    virtual ~Polling() = default;

    // Switches the 4-second poll on or off (off during the setup exchange and a
    // firmware update, which need the line to themselves).
    virtual void setPollingEnabled(bool on) = 0;
    virtual bool pollingEnabled() const = 0;
    // While held, the poll stays off whoever switches it on: the setup exchange holds
    // it from its first step to its last, while a line that comes back or a firmware
    // update that ends would switch it on. Released, it is as it was last switched.
    virtual void setPollingHeld(bool held) = 0;
    // The poll itself: a 1 s wait, then "G", "I", "J", "H" 100 ms apart. Like every
    // wait it throws WaitCancelled when the program is going away.
    virtual QCoro::Task<> readParams() = 0;
};
