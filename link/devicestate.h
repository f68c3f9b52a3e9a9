// The line to the generator: what the program knows about it and how it talks to it.
//
// link/ is the library kvtlink, on Qt Core, SerialPort and QCoro only, so a widget
// there fails the build. It holds the line alone: the DeviceState record, the number
// rules, the reply parser and frame assembler, the command vocabulary (commands.h:
// every line the program sends and the letters that answer each question), the
// generator's own records (presetrecord.h: the preset record, the Morse element
// length), the serial-port seam and its Qt implementation, the Link (sending, the waits
// and the one awaitable question Link::ask, the hand-over of the port), the procedure
// runner and the line trace. It includes nothing from the other folders.
// instrument/ builds on it and owns the one DeviceState; everything above reads it
// through the Instrument.
#pragma once

#include <QString>
#include <cstdint>

// Every value the generator last reported, the program's local state and counters,
// and the settings kept in KVT.INI. There is exactly one, owned by the Instrument;
// only the reply parser and the Instrument's procedures write it, and the Instrument
// announces its changes.
struct DeviceState {
    // Values reported by the generator and local state of the main window.
    double carrierFreq = 0;      // Hz, as reported by the F reply or computed by Up/Down
    int16_t modMode = 0;         // 0 none, 1 still, 2 beep, 3 trill
    uint16_t modFreq = 0;        // Hz, 0..65535
    int16_t outputOn = 0;        // 0 off, nonzero on (2: on after STOP ended a sweep)
    int16_t activePreset = 0;    // last saved/recalled preset, 0 = manual tuning
    bool connected = false;      // once the identity line arrived
    bool sweeping = false;       // while the generator sweeps
    int32_t sweepFreq = 0;       // Hz, position reported by W replies
    int32_t highestDeviceId = 0; // largest identity number ever seen
    int16_t telegraphSpeed = 0;  // Morse speed, 1-300 (KVT.INI)
    bool telegraphBusy = false;  // from a Q line until the generator's Q reply

    // Values of the shared module.
    int16_t portNumber = 0;          // COM port in use or being tried
    int32_t bootloaderBaud = 0;      // bit/s for the firmware uploader
    int16_t wideRange = 0;           // 0: 0-40 MHz, 1: 0-70 MHz, other: no carrier entry
    int16_t displayOperatorMode = 0; // generator display operator, -1 = nothing to send
    int32_t displayOperator = 0;     // operand of the display operator, -1 = nothing to send
    int32_t coarseStep = 0;          // Hz, generator knob step, -1 = nothing to send
    int32_t deviceId = 0;            // serial identity number (B reply)
    QString modelName;               // "KVT " + two-character model code
    QString productionDate;          // dd.mm.yyyy
    QString firmwareVersion;         // text after "v" in the identity line
    QString presetRecord;            // text of the last K reply
};
