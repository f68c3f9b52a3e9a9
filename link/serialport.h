#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <memory>

class QSerialPort;

// The serial port the generator hangs on, opened by COM port number with the fixed
// line settings 115200,n,8,1, DTR on, RTS off, no handshaking.
class SerialPort : public QObject {
    Q_OBJECT
public:
    // Error numbers of a failed open, as port discovery interprets them.
    enum OpenError : int {
        NoError = 0,
        InvalidPort = 8002,     // no such port
        CannotConfigure = 8015, // the port's line settings cannot be applied
        PortBusy = 8005,        // another program holds it
        PermissionDenied = 8010 // the user may not open it
    };

    using QObject::QObject;

    // Opens port `portNumber`; returns NoError or one of the error numbers. Opening an
    // open port changes nothing and returns NoError.
    virtual int open(int portNumber) = 0;
    // Opens again the device that was open last, by its system name, whatever number
    // it would have now: after an unplug the numbering of the system's devices may
    // have moved, and another device must not be opened in its place. InvalidPort
    // when that device is not there (or none was ever open).
    virtual int reopen() = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // Queues the bytes for sending without waiting for them to leave.
    virtual void write(const QByteArray &bytes) = 0;
    // Takes at most `maxBytes` of what has been received.
    virtual QByteArray read(qint64 maxBytes) = 0;
    virtual qint64 bytesAvailable() const = 0;
    // The system name of the port that is open, for messages ("/dev/ttyUSB0").
    virtual QString systemName() const = 0;

Q_SIGNALS:
    void readyRead();
    // The device went away while open (adapter unplugged); the port is closed already.
    void lost();
};

// Maps COM port numbers to the system's serial devices.
//   1. A file or link named COM<N> in the settings folder (beside the program, or the
//      packaged program's ~/.config/KVT) wins, as Wine's dosdevices do; the simulator
//      and pseudo-terminals are reached this way.
//   2. On Windows: COM<N>.
//   3. Elsewhere: the system's serial devices in a stable order that puts USB
//      adapters (ttyUSB*, ttyACM*) first, numbered from 2 upward, so that discovery's
//      first pass (which starts at port 2) finds a single adapter at once; then the
//      other ports (ttyS*, ...). Port 1 is never assigned on Linux.
class PortNames {
public:
    explicit PortNames(QString settingsFolder) : m_folder(std::move(settingsFolder)) {}
    virtual ~PortNames() = default;

    // The system name for COM<N>; empty when there is no such port.
    virtual QString systemName(int portNumber) const;
    // The devices found on this system, in the order they are numbered from port 2.
    virtual QStringList systemDevices() const;

    static QStringList orderDevices(QStringList deviceNames);

private:
    QString m_folder;
};

// The real port, over QSerialPort.
class QtSerialPort final : public SerialPort {
    Q_OBJECT
public:
    explicit QtSerialPort(std::shared_ptr<const PortNames> names, QObject *parent = nullptr);
    ~QtSerialPort() override;

    int open(int portNumber) override;
    int reopen() override;
    void close() override;
    bool isOpen() const override;
    void write(const QByteArray &bytes) override;
    QByteArray read(qint64 maxBytes) override;
    qint64 bytesAvailable() const override;
    QString systemName() const override { return m_systemName; }

    // Asks the serial driver of an open port (its descriptor) for low latency, which a
    // USB adapter needs to pass on each reply at once. False when the port refuses or
    // cannot do it (a pseudo-terminal, another system): the port is used as it is.
    static bool requestLowLatency(qintptr handle);

private:
    int openDevice(const QString &name);
    // Whether the device of a port opened before is there now.
    static bool deviceExists(const QString &name);

    std::shared_ptr<const PortNames> m_names;
    QSerialPort *m_port;
    QString m_systemName;
};
