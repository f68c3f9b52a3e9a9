#pragma once

// The generator's serial bootloader: the STK500 version 1 exchange an ATmega328P
// bootloader answers right after a reset, so that avrdude can read and write the
// flash memory. Plain byte-in, bytes-out logic; the Simulator decides when it
// listens and carries its replies to the line.

#include <QByteArray>
#include <QtGlobal>

namespace sim {

class StkBootloader {
public:
    static constexpr qsizetype FlashSize = 32 * 1024; // ATmega328P
    static constexpr qsizetype EepromSize = 1024;
    static constexpr qsizetype MaxBlock = 256; // largest page read or write

    // Protocol bytes.
    static constexpr char InSync = 0x14;
    static constexpr char Ok = 0x10;
    static constexpr char Failed = 0x11;
    static constexpr char Unknown = 0x12;
    static constexpr char NoSync = 0x15;
    static constexpr char Eop = 0x20;

    StkBootloader();

    // Takes one received byte and appends the reply it completes (if any) to *reply.
    // At most one command is held, so garbage cannot grow memory.
    void feed(char byte, QByteArray *reply);

    // A new reset: the half-received command, the address and the flags are
    // forgotten; flash and EEPROM are kept.
    void reset();

    // A command with a correct end byte has arrived since the last reset: something
    // speaks STK500 on the line.
    bool spoken() const { return m_spoken; }
    // Leave-programming-mode has arrived since the last reset.
    bool left() const { return m_left; }
    // Flash pages written since the last call of takeFlashWritten().
    bool takeFlashWritten();

    const QByteArray &flash() const { return m_flash; }
    void setFlash(const QByteArray &image); // cut or filled with 0xFF to 32 KiB
    const QByteArray &eeprom() const { return m_eeprom; }

private:
    void execute(QByteArray *reply);
    bool block(char memory, qsizetype length, qsizetype *offset, QByteArray **store);

    QByteArray m_frame; // the command being received, up to its end byte
    QByteArray m_flash;
    QByteArray m_eeprom;
    quint16 m_address = 0; // as loaded: words for flash, bytes for EEPROM
    bool m_spoken = false;
    bool m_left = false;
    bool m_flashWritten = false;
};

// The firmware version an image records: the text of digits and dots after the
// first "KVTFW=" marker (at most 16 characters). Empty when there is none.
QByteArray firmwareVersionIn(const QByteArray &image);

} // namespace sim
