#pragma once

// Intel HEX as avrdude reads and writes it: data records of up to 16 bytes and an
// end record, for images under 64 KiB.

#include <QByteArray>
#include <QList>

namespace intelhex {

inline QByteArray record(quint16 address, quint8 type, const QByteArray &data) {
    QByteArray bytes;
    bytes += static_cast<char>(data.size());
    bytes += static_cast<char>(address >> 8);
    bytes += static_cast<char>(address & 0xff);
    bytes += static_cast<char>(type);
    bytes += data;
    quint8 sum = 0;
    for (char c : bytes)
        sum = static_cast<quint8>(sum + static_cast<quint8>(c));
    bytes += static_cast<char>(-sum);
    return ':' + bytes.toHex().toUpper() + '\n';
}

inline QByteArray write(quint16 address, const QByteArray &data) {
    QByteArray text;
    for (qsizetype at = 0; at < data.size(); at += 16)
        text += record(static_cast<quint16>(address + at), 0, data.mid(at, 16));
    return text + record(0, 1, {});
}

// The image in a memory of `size` bytes that starts erased (0xFF). Returns an
// empty array when a record is malformed or its checksum is wrong.
inline QByteArray read(const QByteArray &text, qsizetype size) {
    QByteArray memory(size, '\xff');
    for (QByteArray line : text.split('\n')) {
        line = line.trimmed();
        if (line.isEmpty())
            continue;
        const QByteArray bytes = QByteArray::fromHex(line.mid(1));
        if (!line.startsWith(':') || bytes.size() < 5 || bytes.size() != 5 + bytes.at(0))
            return {};
        quint8 sum = 0;
        for (char c : bytes)
            sum = static_cast<quint8>(sum + static_cast<quint8>(c));
        if (sum != 0)
            return {};
        const auto type = static_cast<quint8>(bytes.at(3));
        if (type == 1)
            break;
        if (type != 0)
            continue;
        const qsizetype address =
            static_cast<quint8>(bytes.at(1)) << 8 | static_cast<quint8>(bytes.at(2));
        if (address + bytes.at(0) > size)
            return {};
        memory.replace(address, bytes.at(0), bytes.mid(4, bytes.at(0)));
    }
    return memory;
}

} // namespace intelhex
