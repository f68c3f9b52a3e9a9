#include "instrument/settingsfile.h"
#include "link/devicestate.h"

#include <gtest/gtest.h>

#include "tests/support/printers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <functional>
#include <optional>
#include <thread>

#include <csignal>
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool sliderAccepts(int speed) {
    return speed >= 1 && speed <= 300;
}

QByteArray fileText(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

bool putFile(const QString &path, const QByteArray &bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// Writes settings into a FIFO as soon as a reader opens it, so a reader that wrongly
// opens the FIFO gets an answer instead of waiting for ever; at its end it takes the
// place of that reader itself when none came. A reader that only looked and closed
// again makes the write fail, which must not end the test with SIGPIPE.
class FifoFeeder {
public:
    FifoFeeder(const QString &path, QByteArray content)
        : m_path(QFile::encodeName(path)), m_writer([this, content] {
              sigset_t brokenPipe;
              sigemptyset(&brokenPipe);
              sigaddset(&brokenPipe, SIGPIPE);
              pthread_sigmask(SIG_BLOCK, &brokenPipe, nullptr);
              const int fd = ::open(m_path.constData(), O_WRONLY);
              if (fd < 0)
                  return;
              [[maybe_unused]] const auto written =
                  ::write(fd, content.constData(), content.size());
              ::close(fd);
          }) {}
    ~FifoFeeder() {
        const int fd = ::open(m_path.constData(), O_RDONLY | O_NONBLOCK);
        m_writer.join();
        if (fd >= 0)
            ::close(fd);
    }
    Q_DISABLE_COPY(FifoFeeder)

private:
    QByteArray m_path;
    std::thread m_writer;
};

struct ReadCase {
    const char *name;
    std::optional<QByteArray> content; // nullopt: no file
    bool ok;
    int16_t port;
    int32_t highest;
    int16_t speed;
    int32_t baud;
};

// Before each read: highestDeviceId 11 and telegraphSpeed 50, which a failure keeps
// unless the file got as far as replacing them.
TEST(SettingsFileTest, Read) {
    const QByteArray good = "COM Port=4\r\n 1234\r\nSP=TOLK\r\n 100\r\n 57600\r\n";
    QByteArray atLimit = good;
    atLimit.append(QByteArray(64 * 1024 - good.size(), ' '));
    const ReadCase cases[] = {
        {"no file", std::nullopt, false, 2, 11, 50, 57600},
        {"as written", good, true, 4, 1234, 100, 57600},
        {"LF line ends", "COM Port=5\n 7\nSP=TOLK\n 20\n 9600\n", true, 5, 7, 20, 9600},
        {"CR line ends", "COM Port=5\r 7\rSP=TOLK\r 20\r 9600", true, 5, 7, 20, 9600},
        {"no line end after line 5", "COM Port=5\r\n7\r\nx\r\n20\r\n19200", true, 5, 7, 20, 19200},
        {"blanks and halves", "COM Port= 2.5 \r\n  -5  \r\n\r\n\t300\r\n 115200.5 baud\r\n", true,
         2, -5, 300, 115200},
        {"line 3 is never read", "COM Port=4\r\n 1\r\n#!?99\r\n 5\r\n 9600\r\n", true, 4, 1, 5,
         9600},
        {"line 1 without its key", "xxxxxxxxx12\r\n 1\r\nSP=TOLK\r\n 5\r\n 9600\r\n", true, 12, 1,
         5, 9600},
        {"line 1 too short for a port", "garbage\r\n 1\r\nSP=TOLK\r\n 5\r\n 9600\r\n", true, 0, 1,
         5, 9600},
        {"port beyond the first 50 characters",
         "COM Port=" + QByteArray(50, ' ') + "7\r\n 1\r\nSP=TOLK\r\n 5\r\n 9600\r\n", true, 0, 1, 5,
         9600},
        {"empty file", "", false, 2, 11, 50, 57600},
        {"only the first line", "COM Port=4\r\n", false, 2, 11, 50, 57600},
        {"port 40000", "COM Port=40000\r\n 1\r\nSP=TOLK\r\n 5\r\n 9600\r\n", false, 2, 11, 50,
         57600},
        {"id beyond 32 bits", "COM Port=4\r\n 2147483648\r\nSP=TOLK\r\n 5\r\n 9600\r\n", false, 2,
         11, 50, 57600},
        {"id at the 32-bit limit", "COM Port=4\r\n 2147483647\r\nSP=TOLK\r\n 5\r\n 9600\r\n", true,
         4, 2147483647, 5, 9600},
        {"speed 0", "COM Port=4\r\n 1234\r\nSP=TOLK\r\n 0\r\n 9600\r\n", false, 2, 1234, 50, 57600},
        {"speed 301", "COM Port=4\r\n 1234\r\nSP=TOLK\r\n 301\r\n 9600\r\n", false, 2, 1234, 50,
         57600},
        {"speed beyond 16 bits", "COM Port=4\r\n 1234\r\nSP=TOLK\r\n 32768\r\n 9600\r\n", false, 2,
         1234, 50, 57600},
        {"four lines", "COM Port=4\r\n 1234\r\nSP=TOLK\r\n 100\r\n", false, 2, 1234, 100, 57600},
        {"baud beyond 32 bits", "COM Port=4\r\n 1234\r\nSP=TOLK\r\n 100\r\n 1e10\r\n", false, 2,
         1234, 100, 57600},
        {"blank line shifts the rest", "COM Port=4\r\n\r\n 1234\r\nSP=TOLK\r\n 100\r\n 9600\r\n",
         false, 2, 0, 50, 57600},
        {"exactly 64 KiB", atLimit, true, 4, 1234, 100, 57600},
        {"larger than 64 KiB", atLimit + ' ', false, 2, 11, 50, 57600},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const QString path = dir.filePath(QString::fromLatin1(SettingsFile::FileName));
        if (c.content) {
            ASSERT_TRUE(putFile(path, *c.content));
        }
        DeviceState state;
        state.highestDeviceId = 11;
        state.telegraphSpeed = 50;
        EXPECT_EQ(SettingsFile::read(path, state, sliderAccepts), c.ok);
        EXPECT_EQ(state.portNumber, c.port);
        EXPECT_EQ(state.highestDeviceId, c.highest);
        EXPECT_EQ(state.telegraphSpeed, c.speed);
        EXPECT_EQ(state.bootloaderBaud, c.baud);
    }
}

TEST(SettingsFileTest, FormatAsTheProgramWritesIt) {
    DeviceState state;
    state.portNumber = 4;
    state.highestDeviceId = 1234;
    state.telegraphSpeed = 100;
    state.bootloaderBaud = 57600;
    EXPECT_EQ(SettingsFile::format(state),
              QByteArray("COM Port=4\r\n 1234\r\nSP=TOLK\r\n 100\r\n 57600\r\n"));
    state.highestDeviceId = -5;
    state.portNumber = 0;
    EXPECT_EQ(SettingsFile::format(state),
              QByteArray("COM Port=0\r\n-5\r\nSP=TOLK\r\n 100\r\n 57600\r\n"));
}

TEST(SettingsFileTest, WrittenFileReadsBackTheSameValues) {
    const struct {
        int16_t port;
        int32_t highest;
        int16_t speed;
        int32_t baud;
    } cases[] = {
        {4, 1234, 100, 57600},
        {64, 2147483647, 300, 115200},
        {32767, -2147483647 - 1, 1, -1},
        {-3, 0, 150, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.port);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("KVT.INI"));
        DeviceState written;
        written.portNumber = c.port;
        written.highestDeviceId = c.highest;
        written.telegraphSpeed = c.speed;
        written.bootloaderBaud = c.baud;
        ASSERT_TRUE(SettingsFile::write(path, written));
        DeviceState read;
        EXPECT_TRUE(SettingsFile::read(path, read, sliderAccepts));
        EXPECT_EQ(read.portNumber, c.port);
        EXPECT_EQ(read.highestDeviceId, c.highest);
        EXPECT_EQ(read.telegraphSpeed, c.speed);
        EXPECT_EQ(read.bootloaderBaud, c.baud);
    }
}

TEST(SettingsFileTest, WriteReplacesALongerOldFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("KVT.INI"));
    ASSERT_TRUE(putFile(path, QByteArray(500, 'z')));
    DeviceState state;
    state.portNumber = 3;
    ASSERT_TRUE(SettingsFile::write(path, state));
    EXPECT_EQ(fileText(path), SettingsFile::format(state));
}

TEST(SettingsFileTest, FailedWriteKeepsWhatWasThere) {
    DeviceState state;
    state.portNumber = 9;

    { // the target is a folder
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("KVT.INI"));
        ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("KVT.INI")));
        EXPECT_FALSE(SettingsFile::write(path, state));
        EXPECT_TRUE(QFileInfo(path).isDir());
        EXPECT_EQ(
            QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
            QStringList{QStringLiteral("KVT.INI")}); // no temporary file left behind
    }
    { // the folder cannot be made: a file has its name
        QTemporaryDir dir;
        ASSERT_TRUE(putFile(dir.filePath(QStringLiteral("blocked")), "x"));
        EXPECT_FALSE(
            SettingsFile::write(dir.filePath(QStringLiteral("blocked/KVT/KVT.INI")), state));
    }
}

// The packaged program's first save goes to ~/.config/KVT, which does not exist yet.
TEST(SettingsFileTest, WriteMakesAMissingFolder) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("home/.config/KVT/KVT.INI"));
    DeviceState state;
    state.portNumber = 5;
    ASSERT_TRUE(SettingsFile::write(path, state));
    EXPECT_EQ(fileText(path), SettingsFile::format(state));
}

TEST(SettingsFileTest, FailedWriteInAReadOnlyFolderKeepsTheOldFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("KVT.INI"));
    const QByteArray old = "COM Port=4\r\n 1234\r\nSP=TOLK\r\n 100\r\n 57600\r\n";
    ASSERT_TRUE(putFile(path, old));
    QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    const bool folderWritable = putFile(dir.filePath(QStringLiteral("probe")), "x");
    if (folderWritable) {
        QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                              QFileDevice::ExeOwner);
        GTEST_SKIP() << "permissions are not enforced for this user (root)";
    }
    DeviceState state;
    state.portNumber = 9;
    EXPECT_FALSE(SettingsFile::write(path, state));
    EXPECT_EQ(fileText(path), old);
    QFile::setPermissions(dir.path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

// Whatever stands where KVT.INI belongs, directly or behind a link: only a regular file
// is read (anything else counts as no file, and a FIFO does not hold the start-up) and
// only a regular file is written (through a link to its target); anything else is
// left as it was.
TEST(SettingsFileTest, OnlyARegularFileIsReadOrWritten) {
    const QByteArray good = "COM Port=4\r\n 1234\r\nSP=TOLK\r\n 100\r\n 57600\r\n";
    const auto fifo = [](const QString &path) {
        return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
    };
    struct Case {
        const char *name;
        // Puts the thing into `d` and returns what stands behind KVT.INI.
        std::function<QString(QDir &d)> make;
        bool regular;
        bool fifo = false;
        bool tryWrite = true; // false for a system device, which a faulty write would replace
    };
    const Case cases[] = {
        {"a FIFO",
         [&](QDir &d) { return fifo(d.filePath("KVT.INI")) ? d.filePath("KVT.INI") : ""; }, false,
         true},
        {"a link to a FIFO",
         [&](QDir &d) {
             const bool made =
                 fifo(d.filePath("pipe")) && QFile::link(d.filePath("pipe"), d.filePath("KVT.INI"));
             return made ? d.filePath("pipe") : "";
         },
         false, true},
        {"a link to a device",
         [](QDir &d) { return QFile::link("/dev/zero", d.filePath("KVT.INI")) ? "/dev/zero" : ""; },
         false, false, false},
        {"a link to a regular file elsewhere",
         [&](QDir &d) {
             const bool made = d.mkdir("kept") && putFile(d.filePath("kept/settings"), good) &&
                               QFile::link(d.filePath("kept/settings"), d.filePath("KVT.INI"));
             return made ? d.filePath("kept/settings") : "";
         },
         true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir tmp;
        QDir dir(tmp.path());
        const QString target = c.make(dir);
        ASSERT_FALSE(target.isEmpty());
        const QString path = dir.filePath(QStringLiteral("KVT.INI"));

        DeviceState state;
        {
            std::optional<FifoFeeder> feeder;
            if (c.fifo)
                feeder.emplace(target, good);
            EXPECT_EQ(SettingsFile::read(path, state, sliderAccepts), c.regular);
            EXPECT_EQ(state.portNumber, c.regular ? 4 : 2);
        }
        if (c.tryWrite) {
            state.portNumber = 9;
            QString reason;
            EXPECT_EQ(SettingsFile::write(path, state, &reason), c.regular) << reason.toStdString();
            EXPECT_EQ(QFileInfo(target).isFile(), c.regular) << "the thing itself stays";
            EXPECT_EQ(QFileInfo(path).isSymLink(), target != path) << "a link stays a link";
            if (c.regular) {
                EXPECT_EQ(fileText(target), SettingsFile::format(state));
            }
        }
    }
}
} // namespace
