#pragma once

#include "instrument/instrument.h"

// Tests set up the Instrument's record as a generator (or an earlier run) would have
// left it; the program itself only reads it.
struct InstrumentTestAccess {
    static DeviceState &record(Instrument &instrument) { return instrument.m_state; }
};
