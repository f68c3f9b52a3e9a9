#include "sim/simulator.h"

#include "sim/morse.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <termios.h>
#include <unistd.h>

namespace sim {

namespace {

constexpr qint64 NsPerMs = 1000000;
constexpr qsizetype MaxLine = 1000;          // longer lines without CR/LF are dropped
constexpr qint64 MaxQueuedBytes = 64 * 1024; // a client that never reads loses replies
constexpr qsizetype MaxReceivedKept = 100000;
constexpr qint64 MaxFrequency = 999999999;
constexpr int SweepReportMs = 50;
constexpr int SweepPresetMode = 16; // the mode of a sweep preset, as the factory's preset 5
// How often (every 10 ms) a close is checked for the hang-up that ends the session: a
// busy machine may show it late, and a missed one would keep the old session.
constexpr int HangupChecks = 50;

QByteArray num(qint64 value) {
    return QByteArray::number(value);
}

QByteArray presetRecord(const Preset &p) {
    return num(p.number) + ' ' + num(p.carrier) + ' ' + num(p.mod) + ' ' + num(p.mode) + ' ' +
           num(p.top) + ' ' + num(p.step) + ' ' + num(p.interval);
}

// Printable log text: control bytes, non-ASCII and backslashes as \xNN.
QByteArray escaped(const QByteArray &text) {
    QByteArray out;
    out.reserve(text.size());
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c >= 0x7f || c == '\\') {
            static const char hex[] = "0123456789ABCDEF";
            out += "\\x";
            out += hex[c >> 4];
            out += hex[c & 0xf];
        } else {
            out += ch;
        }
    }
    return out;
}

std::optional<qint64> frequencyArg(QByteArrayView arg) {
    const auto n = leadingNumber(arg);
    if (!n || *n < 0 || *n > MaxFrequency)
        return std::nullopt;
    return n;
}

// The identity with the version after its last 'v' replaced ("KVT20v2.05" with
// 2.07 gives "KVT20v2.07"); one without a 'v' gets "v" and the version appended.
QString withVersion(const QString &identity, const QByteArray &version) {
    const qsizetype v = identity.lastIndexOf(QLatin1Char('v'));
    return (v < 0 ? identity + QLatin1Char('v') : identity.left(v + 1)) +
           QString::fromLatin1(version);
}

std::optional<int> presetArg(QByteArrayView arg) {
    const auto n = leadingNumber(arg);
    if (!n || *n < 1 || *n > 12)
        return std::nullopt;
    return static_cast<int>(*n);
}

} // namespace

PresetTable defaultPresets() {
    PresetTable table;
    for (int i = 0; i < 12; ++i)
        table[static_cast<size_t>(i)].number = i + 1;
    table[0] = {1, 7050000, 1000, 2, 0, 0, 0};
    table[1] = {2, 3650000, 0, 0, 0, 0, 0};
    table[2] = {3, 14070000, 800, 1, 0, 0, 0};
    table[3] = {4, 455000, 400, 3, 0, 0, 0};
    table[4] = {5, 7000000, 0, 16, 7200000, 1000, 10};
    return table;
}

Simulator::Simulator(const SimConfig &config, QObject *parent)
    : QObject(parent), m_config(config), m_linkPath(config.linkPath), m_outTimer(new QTimer(this)),
      m_bootTimer(new QTimer(this)), m_sweepTimer(new QTimer(this)),
      m_keyingTimer(new QTimer(this)), m_faults(config.faults),
      m_firmwareBroken(config.brokenFirmware), m_random(config.faults.seed) {
    m_clock.start();
    m_windowTimer = new QTimer(this);
    for (QTimer *t : {m_outTimer, m_bootTimer, m_windowTimer, m_sweepTimer, m_keyingTimer}) {
        t->setSingleShot(true);
        t->setTimerType(Qt::PreciseTimer);
    }
    connect(m_outTimer, &QTimer::timeout, this, &Simulator::pumpOutput);
    connect(m_bootTimer, &QTimer::timeout, this, &Simulator::sendIdentity);
    connect(m_windowTimer, &QTimer::timeout, this, &Simulator::closeBootloaderWindow);
    connect(m_sweepTimer, &QTimer::timeout, this, &Simulator::sweepTick);
    connect(m_keyingTimer, &QTimer::timeout, this, &Simulator::keyingDone);

    m_identity = config.identity.isEmpty() ? QStringLiteral("KVT") + config.modelCode +
                                                 QLatin1Char('v') + config.firmwareVersion
                                           : config.identity;
    m_carrier = config.carrier;
    m_modFreq = config.modFreq;
    m_modMode = config.modMode;
    m_outputOn = config.outputOn;
    m_deviceId = config.deviceId;
    m_prodDay = config.prodDay;
    m_prodMonth = config.prodMonth;
    m_prodYear = config.prodYear;
    m_operatorMode = config.displayOperatorMode;
    m_operator = config.displayOperator;
    m_coarseStep = config.coarseStep;
    m_presets = defaultPresets();
    loadPresets();
    if (!config.flashPath.isEmpty()) {
        // The flash file is the firmware: a version it records is the one announced.
        QFile file(config.flashPath);
        if (file.open(QIODevice::ReadOnly)) {
            m_bootloader.setFlash(file.read(StkBootloader::FlashSize));
            if (const QByteArray version = firmwareVersionIn(m_bootloader.flash());
                !version.isEmpty())
                m_identity = withVersion(m_identity, version);
        }
    }

    if (config.logToStdout || config.logPath == QLatin1String("-")) {
        m_logFile = std::make_unique<QFile>();
        if (!m_logFile->open(stdout, QIODevice::WriteOnly))
            m_logFile.reset();
    } else if (!config.logPath.isEmpty()) {
        m_logFile = std::make_unique<QFile>(config.logPath);
        if (!m_logFile->open(QIODevice::WriteOnly | QIODevice::Truncate))
            m_logFile.reset();
    }
}

Simulator::~Simulator() {
    if (m_linkPlaced) {
        // Remove the link only while it still points at our terminal: someone may
        // have placed another one there meanwhile.
        const QByteArray link = QFile::encodeName(m_linkPath);
        char target[512];
        const ssize_t n = ::readlink(link.constData(), target, sizeof target - 1);
        if (n > 0 && QByteArray(target, n) == QFile::encodeName(m_ptyPath))
            ::unlink(link.constData());
    }
    delete m_masterNotifier;
    delete m_inotifyNotifier;
    if (m_inotify >= 0)
        ::close(m_inotify);
    if (m_master >= 0)
        ::close(m_master);
}

bool Simulator::start(QString *error) {
    auto fail = [&](const QString &what) {
        if (error)
            *error = what + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
        if (m_master >= 0)
            ::close(m_master);
        m_master = -1;
        return false;
    };
    if (m_master >= 0)
        return true;

    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0)
        return fail(QStringLiteral("cannot open a pseudo-terminal"));
    if (::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
        return fail(QStringLiteral("cannot unlock the pseudo-terminal"));
    char name[128];
    if (::ptsname_r(m_master, name, sizeof name) != 0)
        return fail(QStringLiteral("cannot name the pseudo-terminal"));
    m_ptyPath = QFile::decodeName(name);

    // Raw 8-bit line at the generator's rate; the slave is closed again at once so
    // that a hang-up shows when the last client closes it.
    const int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0)
        return fail(QStringLiteral("cannot open ") + m_ptyPath);
    termios tio{};
    if (::tcgetattr(slave, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::cfsetispeed(&tio, B115200);
        ::cfsetospeed(&tio, B115200);
        ::tcsetattr(slave, TCSANOW, &tio);
    }
    ::close(slave);
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);

    m_inotify = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_inotify < 0 ||
        ::inotify_add_watch(m_inotify, name, IN_OPEN | IN_CLOSE_WRITE | IN_CLOSE_NOWRITE) < 0) {
        if (m_inotify >= 0)
            ::close(m_inotify);
        m_inotify = -1;
        return fail(QStringLiteral("cannot watch ") + m_ptyPath);
    }

    bool ok = true;
    placeLink(error, &ok);
    if (!ok) {
        ::close(m_inotify);
        m_inotify = -1;
        ::close(m_master);
        m_master = -1;
        return false;
    }

    m_inotifyNotifier = new QSocketNotifier(m_inotify, QSocketNotifier::Read, this);
    connect(m_inotifyNotifier, &QSocketNotifier::activated, this, &Simulator::onInotify);
    // The master reads as "hung up" (always readable) while no client has the slave
    // open, so it is only watched during a session.
    m_masterNotifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    m_masterNotifier->setEnabled(false);
    connect(m_masterNotifier, &QSocketNotifier::activated, this, &Simulator::onMasterReadable);
    return true;
}

void Simulator::placeLink(QString *error, bool *ok) {
    if (m_linkPath.isEmpty())
        return;
    const QFileInfo info(m_linkPath);
    if (info.exists() && !info.isSymLink()) {
        if (error)
            *error = m_linkPath + QStringLiteral(" exists and is not a link; not replaced");
        *ok = false;
        return;
    }
    // Link beside the target under a temporary name, then rename over: the place
    // never lacks a link and an old one is replaced in one step.
    const QByteArray target = QFile::encodeName(m_ptyPath);
    const QByteArray link = QFile::encodeName(m_linkPath);
    const QByteArray temp = link + ".kvtsim-" + QByteArray::number(::getpid());
    ::unlink(temp.constData());
    if (::symlink(target.constData(), temp.constData()) != 0 ||
        ::rename(temp.constData(), link.constData()) != 0) {
        if (error)
            *error = QStringLiteral("cannot place the link ") + m_linkPath + QStringLiteral(": ") +
                     QString::fromLocal8Bit(std::strerror(errno));
        ::unlink(temp.constData());
        *ok = false;
        return;
    }
    m_linkPlaced = true;
}

void Simulator::onInotify() {
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(m_inotify, buffer, sizeof buffer);
        if (n <= 0)
            break;
        for (ssize_t i = 0; i + static_cast<ssize_t>(sizeof(inotify_event)) <= n;) {
            inotify_event event;
            std::memcpy(&event, buffer + i, sizeof event);
            i += static_cast<ssize_t>(sizeof(inotify_event) + event.len);
            if (event.mask & (IN_CLOSE_WRITE | IN_CLOSE_NOWRITE)) {
                if (m_session && masterHungUp())
                    endSession();
                else if (m_session)
                    m_closePending = true;
            }
            if (event.mask & IN_OPEN) {
                // An open right after a close is a new session even when the
                // hang-up between them was too short to be seen.
                if (m_session && m_closePending)
                    endSession();
                if (!m_session)
                    beginSession();
            }
        }
    }
    if (m_session && m_closePending)
        checkHangup(HangupChecks);
}

bool Simulator::masterHungUp() const {
    pollfd p{m_master, POLLIN, 0};
    return ::poll(&p, 1, 0) > 0 && (p.revents & POLLHUP);
}

void Simulator::checkHangup(int retriesLeft) {
    // The close event is queued just before the terminal notes the close, so the
    // hang-up may show a moment later; a close while another client keeps the
    // slave open never shows one.
    if (masterHungUp()) {
        endSession();
        return;
    }
    if (retriesLeft == 0)
        m_closePending = false; // another client still holds the slave
    if (retriesLeft > 0) {
        const quint64 session = m_sessionId;
        QTimer::singleShot(10, this, [this, session, retriesLeft] {
            if (m_session && m_sessionId == session)
                checkHangup(retriesLeft - 1);
        });
    }
}

void Simulator::discardUnreadOutput() {
    // Bytes written to the master wait for a reader in the slave's input queue, and a
    // client that closes leaves them there for the next one. Flushing the master's
    // output (TCOFLUSH) empties only the part the terminal has not handed on yet; the
    // rest sits in the slave's line discipline, which only a flush of the slave's
    // settings reaches: set them unchanged with TCSAFLUSH (through the master, which
    // sets the slave's). Neither touches what a client sent (TCIFLUSH would). A client
    // that sets its own settings in the instant between the two calls would see them
    // undone; this runs with a client holding the slave only when its open ends the
    // last session.
    ::tcflush(m_master, TCOFLUSH);
    termios tio{};
    if (::tcgetattr(m_master, &tio) == 0)
        ::tcsetattr(m_master, TCSAFLUSH, &tio);
}

void Simulator::beginSession() {
    // The last session's output is gone already: endSession, at the close or at this
    // very open, discarded it, and nothing is written between sessions.
    m_session = true;
    ++m_sessionId;
    m_sessionOpenNs = nowNs();
    m_inBuffer.clear();
    m_discarding = false;
    m_out.clear();
    m_outBytes = 0;
    m_lineFreeNs = 0;
    // Opening the port restarts the generator: a running sweep or keying ends.
    stopSweep();
    m_keyingTimer->stop();
    m_keyingEnd = -1;
    m_keyingText.clear();
    // Opening the port resets the generator into its bootloader, which listens for
    // a short window before the firmware starts; the identity never comes earlier.
    m_bootloader.reset();
    m_bootPhase = m_config.bootloaderMs > 0 ? BootPhase::Listening : BootPhase::Off;
    if (m_bootPhase == BootPhase::Listening)
        m_windowTimer->start(m_config.bootloaderMs);
    m_masterNotifier->setEnabled(true);
    log("OPEN", QFile::encodeName(m_ptyPath));
    Q_EMIT clientOpened();
    if (!silent())
        m_bootTimer->start(
            std::max({m_config.bootMs, m_config.settleMs, std::max(0, m_config.bootloaderMs)}));
}

void Simulator::closeBootloaderWindow() {
    if (m_bootPhase == BootPhase::Listening)
        m_bootPhase = BootPhase::Off;
}

void Simulator::leaveBootloader() {
    // As the bootloader does, start the firmware: it boots and identifies, with the
    // version of a newly written image.
    m_bootPhase = BootPhase::Off;
    takeWrittenFirmware();
    log("STK", "leave");
    if (!silent())
        m_bootTimer->start(std::max(m_config.bootMs, 0));
}

void Simulator::takeWrittenFirmware() {
    if (!m_bootloader.takeFlashWritten())
        return;
    // Whatever was written replaces the firmware that did not start.
    m_firmwareBroken = false;
    if (!m_config.flashPath.isEmpty()) {
        QSaveFile file(m_config.flashPath);
        if (file.open(QIODevice::WriteOnly)) {
            file.write(m_bootloader.flash());
            file.commit();
        }
    }
    // An image without a version marker leaves the announced version as it was.
    if (const QByteArray version = firmwareVersionIn(m_bootloader.flash()); !version.isEmpty()) {
        m_identity = withVersion(m_identity, version);
        log("STK", "firmware " + version);
    }
}

void Simulator::endSession() {
    m_session = false;
    m_masterNotifier->setEnabled(false);
    m_bootTimer->stop();
    m_windowTimer->stop();
    m_bootPhase = BootPhase::Off;
    takeWrittenFirmware(); // avrdude may close without leaving programming mode
    m_outTimer->stop();
    m_out.clear();
    m_outBytes = 0;
    // Bytes not yet read by the client, maybe written after it closed and before that
    // was noticed, would otherwise greet the next opener. What the client sent and was
    // not read is dropped too, but only while nobody holds the slave: when an open
    // ends the session, the holder is the next opener, whose input stays.
    discardUnreadOutput();
    if (masterHungUp())
        ::tcflush(m_master, TCIFLUSH);
    log("CLOSE", QFile::encodeName(m_ptyPath));
    Q_EMIT clientClosed();
}

void Simulator::onMasterReadable() {
    char buffer[512];
    for (;;) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0 || errno == EIO) {
                // Nobody holds the slave any more; the close event decides the
                // session, here only stop the notifier from spinning.
                m_masterNotifier->setEnabled(false);
                checkHangup(HangupChecks);
            }
            return;
        }
        for (ssize_t i = 0; i < n; ++i) {
            const char c = buffer[i];
            if (m_bootPhase != BootPhase::Off) {
                bootloaderByte(c);
                if (!m_session)
                    return;
            } else if (c == '\r' || c == '\n') {
                if (!m_discarding && !m_inBuffer.isEmpty())
                    handleLine(m_inBuffer);
                m_inBuffer.clear();
                m_discarding = false;
            } else if (!m_discarding) {
                if (m_inBuffer.size() >= MaxLine) {
                    m_inBuffer.clear();
                    m_discarding = true;
                } else {
                    m_inBuffer += c;
                }
            }
        }
        if (!m_session)
            return;
    }
}

void Simulator::bootloaderByte(char byte) {
    QByteArray answer;
    m_bootloader.feed(byte, &answer);
    if (m_bootPhase == BootPhase::Listening && m_bootloader.spoken()) {
        // avrdude is talking: the bootloader stays and the firmware does not start.
        m_bootPhase = BootPhase::Programming;
        m_windowTimer->stop();
        m_bootTimer->stop();
        log("STK", "programming");
    }
    sendRaw(answer);
    if (m_bootPhase == BootPhase::Programming && m_bootloader.left())
        leaveBootloader();
}

void Simulator::handleLine(const QByteArray &line) {
    if (line.isEmpty())
        return;
    const QString text = QString::fromLatin1(line);
    if (m_received.size() >= MaxReceivedKept)
        m_received.removeFirst();
    m_received.append({m_clock.elapsed(), text});
    log("RX", line);
    Q_EMIT lineReceived(text);

    const char command = line.at(0);
    const QByteArrayView arg = QByteArrayView(line).sliced(1);
    switch (command) {
    case 'G':
        reply(m_sweep.active ? "#W" + num(sweepPosition()) : "#F" + num(m_carrier));
        break;
    case 'I':
        reply("#A" + num(m_modFreq));
        break;
    case 'J':
        reply("#M" + num(m_modMode));
        break;
    case 'H':
        reply(m_outputOn ? "#S1" : "#S0");
        break;
    case 'B':
        reply("#B" + num(m_deviceId));
        break;
    case 'T':
        reply("#T" + num(m_prodDay) + ' ' + num(m_prodMonth) + ' ' + num(m_prodYear));
        break;
    case 'Y':
        reply("#Y" + num(m_operatorMode) + num(m_operator));
        break;
    case 'V':
        reply("#V" + num(m_coarseStep));
        break;
    case 'Z': {
        // -1 stands for "not a number": both parts must be there and in range.
        const qint64 mode = leadingNumber(arg).value_or(-1);
        const qsizetype space = arg.indexOf(' ', arg.startsWith(' ') ? 1 : 0);
        const qint64 value = space < 0 ? -1 : leadingNumber(arg.sliced(space + 1)).value_or(-1);
        if (mode >= 0 && mode <= 9 && value >= 0 && value <= MaxFrequency) {
            m_operatorMode = static_cast<int>(mode);
            m_operator = value;
        }
        break;
    }
    case 'X':
        if (const auto step = frequencyArg(arg))
            m_coarseStep = *step;
        break;
    case 'U': {
        if (!arg.startsWith("132 "))
            break;
        const QList<QByteArray> parts = arg.sliced(4).toByteArray().split(' ');
        if (parts.size() < 3)
            break;
        const auto d = leadingNumber(parts[0]);
        const auto m = leadingNumber(parts[1]);
        const auto y = leadingNumber(parts[2]);
        if (d && m && y && *d >= 1 && *d <= 31 && *m >= 1 && *m <= 12 && *y >= 0 && *y <= 99) {
            m_prodDay = static_cast<int>(*d);
            m_prodMonth = static_cast<int>(*m);
            m_prodYear = static_cast<int>(*y);
        }
        break;
    }
    case 'F':
        if (const auto hz = frequencyArg(arg)) {
            stopSweep(); // tuning takes the generator back to manual
            m_carrier = *hz;
        }
        break;
    case 'A':
        if (const auto hz = frequencyArg(arg))
            m_modFreq = *hz;
        break;
    case 'M':
        if (const auto mode = leadingNumber(arg); mode && *mode >= 0 && *mode <= 3)
            m_modMode = static_cast<int>(*mode);
        break;
    case '0':
        if (m_sweep.active) {
            stopSweep();
            reply("#F" + num(m_carrier));
        } else {
            m_outputOn = false;
        }
        break;
    case '1':
        m_outputOn = true;
        break;
    case 'W': {
        const QList<QByteArray> parts = arg.toByteArray().split(' ');
        std::optional<qint64> values[3];
        for (qsizetype i = 0; i < 3 && i < parts.size(); ++i)
            values[i] = leadingNumber(parts[i]);
        if (!values[0] || !values[1] || !values[2] ||
            !startSweep(*values[0], *values[1], *values[2]))
            reply("#F" + num(m_carrier));
        break;
    }
    case 'P':
        if (m_sweep.active) {
            if (m_sweep.paused) {
                m_sweep.paused = false;
                m_sweep.resumedAt = m_clock.elapsed();
                sweepTick();
            } else {
                m_sweep.activeMs += m_clock.elapsed() - m_sweep.resumedAt;
                m_sweep.paused = true;
                m_sweepTimer->stop();
            }
        }
        break;
    case 'K':
        if (const auto n = presetArg(arg))
            reply("#K" + presetRecord(m_presets[static_cast<size_t>(*n - 1)]));
        break;
    case 'S':
        if (const auto n = presetArg(arg)) {
            Preset &preset = m_presets[static_cast<size_t>(*n - 1)];
            if (m_sweep.active && m_config.sweepPresetsStored)
                preset = {*n,          m_sweep.start, m_modFreq,      SweepPresetMode,
                          m_sweep.top, m_sweep.step,  m_sweep.seconds};
            else
                preset = {*n, m_carrier, m_modFreq, m_modMode, 0, 0, 0};
            savePresets();
        }
        break;
    case 'R':
        if (const auto n = presetArg(arg)) {
            const Preset p = m_presets[static_cast<size_t>(*n - 1)];
            if (p.carrier <= 0 && p.mod <= 0)
                break; // an empty preset recalls nothing
            stopSweep();
            m_carrier = p.carrier;
            m_modFreq = p.mod;
            if (p.mode >= 0 && p.mode <= 3)
                m_modMode = p.mode;
            if (p.mode > 14)
                startSweep(p.top, p.step, p.interval);
        }
        break;
    case 'Q': {
        const auto element = leadingNumber(arg);
        if (!element || *element < 0)
            break;
        const qsizetype space = arg.indexOf(' ');
        const QByteArrayView keyed = space < 0 ? QByteArrayView() : arg.sliced(space + 1);
        const qint64 ms = morseDurationUnits(keyed) * std::min<qint64>(*element, 60000);
        // A new text replaces one still being keyed; only its end is reported.
        m_keyingText = QString::fromLatin1(keyed.toByteArray());
        m_keyingEnd = m_clock.elapsed() + ms;
        m_keyingTimer->start(static_cast<int>(std::min<qint64>(ms, 24LL * 3600 * 1000)));
        break;
    }
    default:
        break; // unknown commands are ignored, as the generator does
    }
}

qint64 Simulator::sweepElapsedMs() const {
    return m_sweep.activeMs + (m_sweep.paused ? 0 : m_clock.elapsed() - m_sweep.resumedAt);
}

qint64 Simulator::sweepPosition() const {
    if (!m_sweep.active)
        return m_carrier;
    const auto k = std::min<qint64>(
        m_sweep.steps, static_cast<qint64>(std::floor(sweepElapsedMs() / m_sweep.stepMs)));
    return std::min(m_sweep.top, m_sweep.start + k * m_sweep.step);
}

bool Simulator::startSweep(qint64 top, qint64 step, qint64 seconds) {
    if (step <= 0 || seconds <= 0 || top <= m_carrier || top > MaxFrequency)
        return false;
    stopSweep();
    m_sweep = {};
    m_sweep.active = true;
    m_sweep.start = m_carrier;
    m_sweep.top = top;
    m_sweep.step = step;
    m_sweep.steps = (top - m_carrier + step - 1) / step;
    m_sweep.seconds = seconds;
    m_sweep.stepMs = static_cast<double>(std::min<qint64>(seconds, 1000000)) * 1000.0 /
                     static_cast<double>(m_sweep.steps);
    m_sweep.resumedAt = m_clock.elapsed();
    sweepTick();
    return true;
}

void Simulator::stopSweep() {
    m_sweep.active = false;
    m_sweep.paused = false;
    m_sweepTimer->stop();
}

void Simulator::sweepTick() {
    if (!m_sweep.active || m_sweep.paused)
        return;
    const qint64 elapsed = sweepElapsedMs();
    const auto k = static_cast<qint64>(std::floor(static_cast<double>(elapsed) / m_sweep.stepMs));
    if (k >= m_sweep.steps) {
        finishSweep();
        return;
    }
    const qint64 now = m_clock.elapsed();
    // Positions are reported at each step, but never more often than every 50 ms:
    // fast sweeps skip positions instead of flooding the line.
    const qint64 sinceReport = now - m_sweep.lastReportMs;
    if (k != m_sweep.reportedStep && sinceReport >= SweepReportMs) {
        m_sweep.reportedStep = k;
        m_sweep.lastReportMs = now;
        reply("#W" + num(m_sweep.start + k * m_sweep.step));
    }
    // Wake when a new position is due and may be reported, or at the end.
    const double nextStep = static_cast<double>(m_sweep.reportedStep + 1) * m_sweep.stepMs -
                            static_cast<double>(elapsed);
    const double nextReport = static_cast<double>(SweepReportMs - (now - m_sweep.lastReportMs));
    const double end =
        static_cast<double>(m_sweep.steps) * m_sweep.stepMs - static_cast<double>(elapsed);
    const double wait = std::min(std::max(nextStep, nextReport), end);
    m_sweepTimer->start(static_cast<int>(std::clamp(std::ceil(wait), 1.0, 86400000.0)));
}

void Simulator::finishSweep() {
    stopSweep();
    reply("#F" + num(m_carrier));
}

void Simulator::keyingDone() {
    m_keyingEnd = -1;
    m_keyingText.clear();
    reply("#Q");
}

void Simulator::sendIdentity() {
    closeBootloaderWindow();
    if (m_session && !silent() && m_bootPhase == BootPhase::Off)
        enqueueFrame(m_identity.toLatin1(), nowNs());
}

void Simulator::reply(const QByteArray &frame) {
    if (!m_session || silent())
        return;
    ++m_replyCount;
    if (m_faults.dropEvery > 0 && m_replyCount % static_cast<quint64>(m_faults.dropEvery) == 0)
        return;
    if (m_faults.dropProbability > 0 && m_random.generateDouble() < m_faults.dropProbability)
        return;
    const qint64 delayMs = std::max(0, m_config.latencyMs) + std::max(0, m_faults.lateMs);
    enqueueFrame(frame, nowNs() + delayMs * NsPerMs);
}

void Simulator::setFaults(const Faults &faults) {
    if (faults.seed != m_faults.seed)
        m_random.seed(faults.seed);
    m_faults = faults;
    if (m_faults.silent) {
        m_bootTimer->stop();
        m_out.clear();
        m_outBytes = 0;
    }
}

void Simulator::enqueueFrame(const QByteArray &frame, qint64 notBeforeNs) {
    if (!m_session || m_outBytes > MaxQueuedBytes)
        return;
    const QByteArray bytes = frame + "\r\n";
    auto push = [this](Chunk chunk) {
        m_outBytes += chunk.bytes.size();
        m_out.push_back(std::move(chunk));
    };
    if (m_faults.split) {
        const qsizetype half = bytes.size() / 2;
        push({bytes.left(half), notBeforeNs, frame, 0, -1, 0});
        push({bytes.mid(half), notBeforeNs, {}, 0, -1, std::max(0, m_faults.splitGapMs) * NsPerMs});
    } else {
        push({bytes, notBeforeNs, frame, 0, -1, 0});
    }
    if (m_faults.noise) {
        QByteArray noise(1 + static_cast<qsizetype>(m_random.bounded(8)), '\0');
        for (char &c : noise) {
            do {
                c = static_cast<char>(m_random.bounded(256));
            } while (c == '#');
        }
        push({noise, notBeforeNs, {}, 0, -1, 0});
    }
    if (!m_outTimer->isActive())
        pumpOutput();
}

void Simulator::sendRaw(const QByteArray &bytes) {
    if (!m_session || bytes.isEmpty() || m_outBytes > MaxQueuedBytes)
        return;
    m_outBytes += bytes.size();
    m_out.push_back({bytes, nowNs(), {}, 0, -1, 0, false});
    if (!m_outTimer->isActive())
        pumpOutput();
}

void Simulator::scheduleOutput(qint64 atNs) {
    const qint64 waitNs = std::max<qint64>(0, atNs - nowNs());
    m_outTimer->start(static_cast<int>((waitNs + NsPerMs - 1) / NsPerMs));
}

void Simulator::pumpOutput() {
    if (!m_session || m_master < 0)
        return;
    const double byteNs = 10.0 * 1e9 / std::max(1, m_config.baudRate); // 8N1: 10 bits
    const qint64 settleEnd = m_sessionOpenNs + std::max(0, m_config.settleMs) * NsPerMs;
    while (!m_out.empty()) {
        Chunk &chunk = m_out.front();
        const qint64 now = nowNs();
        if (chunk.startNs < 0) {
            qint64 start = std::max(chunk.notBeforeNs, settleEnd);
            if (m_config.pacing && chunk.paced)
                start = std::max(start, m_lineFreeNs);
            if (start > now) {
                scheduleOutput(start);
                return;
            }
            chunk.startNs = start;
        }
        qsizetype due = chunk.bytes.size();
        if (m_config.pacing && chunk.paced) {
            const auto sent = static_cast<qsizetype>((now - chunk.startNs) / byteNs) + 1;
            due = std::min(due, sent);
        }
        if (due > chunk.offset) {
            // Nobody holds the slave: the client has gone and the close is not handled
            // yet. Written now, the bytes would wait for the next opener; its close
            // handling ends the session and drops them.
            if (masterHungUp()) {
                scheduleOutput(now + 10 * NsPerMs);
                return;
            }
            const ssize_t n = ::write(m_master, chunk.bytes.constData() + chunk.offset,
                                      static_cast<size_t>(due - chunk.offset));
            if (n < 0) {
                if (errno == EAGAIN || errno == EINTR)
                    scheduleOutput(now + 10 * NsPerMs); // client is not reading; retry
                return;
            }
            if (chunk.offset == 0 && n > 0 && !chunk.logText.isEmpty()) {
                log("TX", chunk.logText);
                Q_EMIT frameSent(chunk.logText);
                if (m_out.empty() || !m_session)
                    return; // a slot reacted by ending the session
            }
            chunk.offset += n;
        }
        if (chunk.offset < chunk.bytes.size()) {
            const qint64 next =
                chunk.startNs + static_cast<qint64>(static_cast<double>(chunk.offset) * byteNs);
            scheduleOutput(std::max(next, now + 1));
            return;
        }
        m_lineFreeNs = m_config.pacing && chunk.paced
                           ? chunk.startNs + static_cast<qint64>(
                                                 static_cast<double>(chunk.bytes.size()) * byteNs)
                           : now;
        m_outBytes -= chunk.bytes.size();
        m_out.pop_front();
        if (!m_out.empty() && m_out.front().gapBeforeNs > 0)
            m_out.front().notBeforeNs =
                std::max(m_out.front().notBeforeNs, m_lineFreeNs + m_out.front().gapBeforeNs);
    }
}

void Simulator::log(const char *kind, const QByteArray &text) {
    if (!m_logFile)
        return;
    m_logFile->write(QByteArray::number(m_clock.elapsed()) + ' ' + kind + ' ' + escaped(text) +
                     '\n');
    m_logFile->flush();
}

Preset Simulator::preset(int number) const {
    if (number < 1 || number > 12)
        return {};
    return m_presets[static_cast<size_t>(number - 1)];
}

void Simulator::setPreset(const Preset &preset) {
    if (preset.number < 1 || preset.number > 12)
        return;
    m_presets[static_cast<size_t>(preset.number - 1)] = preset;
}

void Simulator::setPresets(const PresetTable &presets) {
    for (const Preset &p : presets)
        setPreset(p);
}

void Simulator::loadPresets() {
    if (m_config.presetsPath.isEmpty())
        return;
    QFile file(m_config.presetsPath);
    if (!file.open(QIODevice::ReadOnly))
        return; // no file yet: factory presets, written on the first save
    // Bounded read: a presets file is a dozen short lines.
    const QList<QByteArray> lines = file.read(64 * 1024).split('\n');
    for (const QByteArray &raw : lines) {
        const QList<QByteArray> f = raw.simplified().split(' ');
        if (f.size() < 7)
            continue;
        std::optional<qint64> v[7];
        bool ok = true;
        for (int i = 0; i < 7; ++i) {
            v[i] = leadingNumber(f[i]);
            ok = ok && v[i] && *v[i] >= 0 && *v[i] <= MaxFrequency;
        }
        if (!ok || *v[0] < 1 || *v[0] > 12)
            continue;
        setPreset(
            {static_cast<int>(*v[0]), *v[1], *v[2], static_cast<int>(*v[3]), *v[4], *v[5], *v[6]});
    }
}

void Simulator::savePresets() const {
    if (m_config.presetsPath.isEmpty())
        return;
    QSaveFile file(m_config.presetsPath);
    if (!file.open(QIODevice::WriteOnly))
        return;
    for (const Preset &p : m_presets)
        file.write(presetRecord(p) + '\n');
    file.commit();
}

} // namespace sim
