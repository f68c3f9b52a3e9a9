#include "sim/stkbootloader.h"

#include <QByteArrayView>

#include <algorithm>

namespace sim {

namespace {

// Command bytes.
constexpr quint8 GetSync = 0x30;
constexpr quint8 GetSignOn = 0x31;
constexpr quint8 SetParameter = 0x40;
constexpr quint8 GetParameter = 0x41;
constexpr quint8 SetDevice = 0x42;
constexpr quint8 SetDeviceExt = 0x45;
constexpr quint8 EnterProgMode = 0x50;
constexpr quint8 LeaveProgMode = 0x51;
constexpr quint8 ChipErase = 0x52;
constexpr quint8 LoadAddress = 0x55;
constexpr quint8 Universal = 0x56;
constexpr quint8 ProgramPage = 0x64;
constexpr quint8 ReadPage = 0x74;
constexpr quint8 ReadSignature = 0x75;

const QByteArray Signature("\x1e\x95\x0f", 3); // ATmega328P

// Bytes a command carries between its command byte and its end byte; -1 for a
// command this bootloader does not know. Commands of varying length need their
// length bytes first (see lengthBytes).
qsizetype argumentCount(const QByteArray &frame) {
    switch (static_cast<quint8>(frame.at(0))) {
    case GetSync:
    case GetSignOn:
    case EnterProgMode:
    case LeaveProgMode:
    case ChipErase:
    case ReadSignature:
        return 0;
    case GetParameter:
        return 1;
    case SetParameter:
    case LoadAddress:
        return 2;
    case SetDeviceExt: // its first byte counts itself and the values after it
        return static_cast<quint8>(frame.at(1));
    case Universal:
        return 4;
    case SetDevice:
        return 20;
    case ReadPage:
        return 3;
    case ProgramPage:
        return 3 + (static_cast<quint8>(frame.at(1)) << 8 | static_cast<quint8>(frame.at(2)));
    default:
        return -1;
    }
}

// How many bytes after the command byte tell its length.
qsizetype lengthBytes(quint8 command) {
    return command == ProgramPage ? 2 : command == SetDeviceExt ? 1 : 0;
}

char parameter(quint8 which) {
    switch (which) {
    case 0x80: // hardware version
        return 2;
    case 0x81: // software version 1.16
        return 1;
    case 0x82:
        return 16;
    default:
        return 0;
    }
}

} // namespace

StkBootloader::StkBootloader()
    : m_flash(FlashSize, static_cast<char>(0xff)), m_eeprom(EepromSize, static_cast<char>(0xff)) {
    m_frame.reserve(1 + 3 + MaxBlock + 1);
}

void StkBootloader::reset() {
    m_frame.clear();
    m_address = 0;
    m_spoken = false;
    m_left = false;
}

bool StkBootloader::takeFlashWritten() {
    const bool written = m_flashWritten;
    m_flashWritten = false;
    return written;
}

void StkBootloader::setFlash(const QByteArray &image) {
    m_flash = image.left(FlashSize);
    if (m_flash.size() < FlashSize)
        m_flash.append(FlashSize - m_flash.size(), static_cast<char>(0xff));
}

void StkBootloader::feed(char byte, QByteArray *reply) {
    m_frame.append(byte);
    const auto command = static_cast<quint8>(m_frame.at(0));
    if (m_frame.size() <= lengthBytes(command))
        return; // its length is not known yet
    const qsizetype arguments = argumentCount(m_frame);
    const bool badLength = command == ProgramPage ? arguments - 3 < 1 || arguments - 3 > MaxBlock
                                                  : command == SetDeviceExt && arguments < 1;
    if (badLength) {
        reply->append(NoSync); // a length no command has: the line is out of step
        m_frame.clear();
        return;
    }
    if (arguments < 0) {
        // An unknown command: answered as the STK500 does once the next byte shows
        // whether the line is in step.
        if (m_frame.size() == 2) {
            reply->append(byte == Eop ? Unknown : NoSync);
            m_frame.clear();
        }
        return;
    }
    if (m_frame.size() < arguments + 2)
        return;
    if (byte != Eop) {
        reply->append(NoSync);
    } else {
        m_spoken = true;
        execute(reply);
    }
    m_frame.clear();
}

bool StkBootloader::block(char memory, qsizetype length, qsizetype *offset, QByteArray **store) {
    // Both memories are addressed in words, as avrdude and the Arduino
    // bootloaders do for EEPROM too.
    *offset = qsizetype{m_address} * 2;
    if (memory == 'F')
        *store = &m_flash;
    else if (memory == 'E')
        *store = &m_eeprom;
    else
        return false;
    return length >= 1 && length <= MaxBlock && *offset + length <= (*store)->size();
}

void StkBootloader::execute(QByteArray *reply) {
    const auto at = [this](qsizetype i) { return static_cast<quint8>(m_frame.at(i)); };
    const auto ok = [reply](QByteArrayView data = {}) {
        reply->append(InSync);
        reply->append(data);
        reply->append(Ok);
    };
    switch (at(0)) {
    case GetSignOn:
        ok("AVR STK");
        break;
    case GetParameter:
        ok(QByteArray(1, parameter(at(1))));
        break;
    case LeaveProgMode:
        m_left = true;
        ok();
        break;
    case ChipErase:
        m_flash.fill(static_cast<char>(0xff));
        m_flashWritten = true;
        ok();
        break;
    case LoadAddress:
        m_address = static_cast<quint16>(at(1) | at(2) << 8);
        ok();
        break;
    case Universal: {
        // Serial programming instructions: signature, fuse and lock reads, erase.
        char value = 0;
        if (at(1) == 0x30)
            value = Signature.at(std::min<qsizetype>(at(3) & 3, 2));
        else if (at(1) == 0x50 && at(2) == 0x00)
            value = static_cast<char>(0xff); // low fuse
        else if (at(1) == 0x58 && at(2) == 0x08)
            value = static_cast<char>(0xda); // high fuse: 2 KiB boot section
        else if (at(1) == 0x50 && at(2) == 0x08)
            value = static_cast<char>(0xfd); // extended fuse
        else if (at(1) == 0x58 && at(2) == 0x00)
            value = static_cast<char>(0xcf); // lock bits
        else if (at(1) == 0xac && at(2) == 0x80) {
            m_flash.fill(static_cast<char>(0xff));
            m_flashWritten = true;
        }
        ok(QByteArray(1, value));
        break;
    }
    case ReadPage:
    case ProgramPage: {
        const qsizetype length = at(1) << 8 | at(2);
        qsizetype offset = 0;
        QByteArray *store = nullptr;
        if (!block(m_frame.at(3), length, &offset, &store)) {
            reply->append(InSync);
            reply->append(Failed);
            break;
        }
        if (at(0) == ReadPage) {
            ok(QByteArrayView(*store).sliced(offset, length));
        } else {
            store->replace(offset, length, QByteArrayView(m_frame).sliced(4, length));
            m_flashWritten = m_flashWritten || store == &m_flash;
            ok();
        }
        break;
    }
    case ReadSignature:
        ok(Signature);
        break;
    default: // sync, parameters, device settings, entering programming mode
        ok();
        break;
    }
}

QByteArray firmwareVersionIn(const QByteArray &image) {
    const QByteArrayView marker("KVTFW=");
    const qsizetype at = image.indexOf(marker);
    if (at < 0)
        return {};
    QByteArray version;
    for (qsizetype i = at + marker.size(); i < image.size() && version.size() < 16; ++i) {
        const char c = image.at(i);
        if ((c < '0' || c > '9') && c != '.')
            break;
        version += c;
    }
    return version;
}

} // namespace sim
