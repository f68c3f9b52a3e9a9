#include "link/serialport.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPort>
#include <QSerialPortInfo>
#include <algorithm>

#ifdef Q_OS_LINUX
#include <linux/serial.h>
#include <sys/ioctl.h>
#endif

QString PortNames::systemName(int portNumber) const {
    if (portNumber < 1)
        return {};
    const QString link = QDir(m_folder).filePath(QStringLiteral("COM%1").arg(portNumber));
    const QFileInfo info(link);
    if (info.isSymLink() || info.exists())
        return info.absoluteFilePath();
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(portNumber);
#else
    const QStringList devices = systemDevices();
    const int index = portNumber - 2;
    if (index < 0 || index >= devices.size())
        return {};
    return devices.at(index);
#endif
}

QStringList PortNames::systemDevices() const {
    QStringList names;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        names << info.systemLocation();
    return orderDevices(names);
}

QStringList PortNames::orderDevices(QStringList deviceNames) {
    // USB adapters first, then by name with the trailing number compared as a number,
    // so ttyUSB2 comes before ttyUSB10 whatever the locale.
    struct Key {
        bool usb;
        QString stem;
        qint64 number;
        QString name;
        bool operator<(const Key &o) const {
            if (usb != o.usb)
                return usb;
            if (stem != o.stem)
                return stem < o.stem;
            if (number != o.number)
                return number < o.number;
            return name < o.name;
        }
    };
    auto keyOf = [](const QString &name) {
        qsizetype digits = name.size();
        while (digits > 0 && name.at(digits - 1).isDigit())
            --digits;
        const bool usb =
            name.contains(QLatin1String("ttyUSB")) || name.contains(QLatin1String("ttyACM"));
        const QString number = name.mid(digits).left(12);
        return Key{usb, name.left(digits), number.isEmpty() ? -1 : number.toLongLong(), name};
    };
    deviceNames.removeDuplicates();
    std::sort(deviceNames.begin(), deviceNames.end(),
              [&](const QString &a, const QString &b) { return keyOf(a) < keyOf(b); });
    return deviceNames;
}

QtSerialPort::QtSerialPort(std::shared_ptr<const PortNames> names, QObject *parent)
    : SerialPort(parent), m_names(std::move(names)), m_port(new QSerialPort(this)) {
    connect(m_port, &QSerialPort::readyRead, this, [this] { Q_EMIT readyRead(); });
    connect(m_port, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError error) {
        // A pseudo-terminal refuses DTR with UnsupportedOperationError; that is not a
        // fault. A resource error, a failed read or a failed write means the device
        // went away: an unplugged adapter hangs its terminal up, after which every
        // read returns nothing at once and the port's read notifier would fire without
        // end. Close the port so nothing spins on a dead descriptor; commands are then
        // dropped as when closed, and the owner is told the line is lost.
        const bool lineLost = error == QSerialPort::ResourceError ||
                              error == QSerialPort::ReadError || error == QSerialPort::WriteError;
        if (!lineLost || !m_port->isOpen())
            return;
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (!m_port->isOpen())
                    return;
                m_port->close();
                Q_EMIT lost();
            },
            Qt::QueuedConnection);
    });
}

QtSerialPort::~QtSerialPort() = default;

bool QtSerialPort::requestLowLatency(qintptr handle) {
#ifdef Q_OS_LINUX
    // A USB adapter's driver (ftdi_sio above all) otherwise holds received bytes until
    // its latency timer runs out, 16 ms by default, before passing on a short reply:
    // every query of the preset read-out would wait that long. ASYNC_LOW_LATENCY sets
    // the timer to 1 ms. A port without the request (a pseudo-terminal, a plain UART
    // driver that refuses it) is used as it is.
    const int fd = static_cast<int>(handle);
    serial_struct serial{};
    if (fd < 0 || ::ioctl(fd, TIOCGSERIAL, &serial) != 0)
        return false;
    if (serial.flags & ASYNC_LOW_LATENCY)
        return true;
    serial.flags |= ASYNC_LOW_LATENCY;
    return ::ioctl(fd, TIOCSSERIAL, &serial) == 0;
#else
    Q_UNUSED(handle);
    return false;
#endif
}

int QtSerialPort::open(int portNumber) {
    if (m_port->isOpen())
        return NoError;
    const QString name = m_names->systemName(portNumber);
    if (name.isEmpty())
        return InvalidPort;
    return openDevice(name);
}

int QtSerialPort::reopen() {
    if (m_port->isOpen())
        return NoError;
    if (m_systemName.isEmpty() || !deviceExists(m_systemName))
        return InvalidPort;
    return openDevice(m_systemName);
}

bool QtSerialPort::deviceExists(const QString &name) {
    // A missing device (or a link to one) costs a look at the file system only, not
    // a walk over the system's serial devices.
    if (QFileInfo::exists(name))
        return true;
#ifdef Q_OS_WIN
    // "COM5" is no file there: the system's list of serial ports tells.
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    return std::any_of(ports.begin(), ports.end(), [&name](const QSerialPortInfo &info) {
        return info.portName().compare(name, Qt::CaseInsensitive) == 0;
    });
#else
    return false;
#endif
}

int QtSerialPort::openDevice(const QString &name) {
    m_port->setPortName(name);
    // Set before opening, so the port runs at 115200,n,8,1 from the moment it opens
    // (QSerialPort applies them at open) instead of briefly at the system's default.
    const bool configured =
        m_port->setBaudRate(QSerialPort::Baud115200) && m_port->setDataBits(QSerialPort::Data8) &&
        m_port->setParity(QSerialPort::NoParity) && m_port->setStopBits(QSerialPort::OneStop) &&
        m_port->setFlowControl(QSerialPort::NoFlowControl);
    if (!configured)
        return CannotConfigure;
    if (!m_port->open(QIODevice::ReadWrite)) {
        const QSerialPort::SerialPortError error = m_port->error();
        m_port->clearError();
        switch (error) {
        case QSerialPort::DeviceNotFoundError:
            return InvalidPort;
        case QSerialPort::PermissionError: {
            const QFileInfo info(name);
            return info.isReadable() && info.isWritable() ? PortBusy : PermissionDenied;
        }
        case QSerialPort::OpenError:
            return PortBusy;
        default:
            return CannotConfigure;
        }
    }
    requestLowLatency(m_port->handle());
    // Modem lines are best effort: a pseudo-terminal has none.
    m_port->setDataTerminalReady(true);
    m_port->setRequestToSend(false);
    m_port->clearError();
    m_systemName = name;
    return NoError;
}

void QtSerialPort::close() {
    if (m_port->isOpen())
        m_port->close();
}

bool QtSerialPort::isOpen() const {
    return m_port->isOpen();
}

void QtSerialPort::write(const QByteArray &bytes) {
    if (m_port->isOpen())
        m_port->write(bytes);
}

QByteArray QtSerialPort::read(qint64 maxBytes) {
    if (!m_port->isOpen())
        return {};
    return m_port->read(maxBytes);
}

qint64 QtSerialPort::bytesAvailable() const {
    return m_port->isOpen() ? m_port->bytesAvailable() : 0;
}
